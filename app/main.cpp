// pelmo: the upgrade wizard, or the same run unattended.
int main()
{
    return 0;
}
