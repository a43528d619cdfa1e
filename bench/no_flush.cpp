// An LD_PRELOAD shim for one informational row only: fsync and fdatasync return
// at once, to show how much of a run is spent waiting for the disk.
extern "C" int fsync(int)
{
    return 0;
}

extern "C" int fdatasync(int)
{
    return 0;
}
