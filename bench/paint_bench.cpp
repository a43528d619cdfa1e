// Painting a 24-bit picture as every paint does (load, then draw stretched): our
// DrawDibFile against QImage loading the same file and drawing it scaled.
//
//   bench-paint [benchmark flags] PICTURE.bmp
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "bench/bench_cli.h"
#include "picture/dib_draw.h"

namespace {

// The painted window: a screen-sized view, smaller than the picture, as the wizard shows it.
constexpr int kCanvasWidth = 1280;
constexpr int kCanvasHeight = 1024;

std::filesystem::path g_picture;

QImage Canvas()
{
    QImage canvas(kCanvasWidth, kCanvasHeight, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    return canvas;
}

void DrawDibFileEveryPaint(benchmark::State& state)
{
    const pelmo::Machine machine = pelmo::Machine::BuiltIn();
    const std::optional<std::string> path = pelmo::bench::WindowsPath(machine, g_picture);
    QImage canvas = Canvas();
    if (!path) {
        state.SkipWithError("picture not found");
        return;
    }
    for (auto _ : state) {
        QPainter painter(&canvas);
        if (pelmo::DrawDibFile(painter, canvas.rect(), machine, *path) != 1) {
            state.SkipWithError("DrawDibFile failed");
            break;
        }
    }
    benchmark::DoNotOptimize(canvas.constBits());
}

void QImageLoadAndDraw(benchmark::State& state)
{
    const QString file = QString::fromStdString(g_picture.string());
    QImage canvas = Canvas();
    for (auto _ : state) {
        QPainter painter(&canvas);
        const QImage image(file);
        if (image.isNull()) {
            state.SkipWithError("QImage cannot load the picture");
            break;
        }
        painter.drawImage(canvas.rect(), image);
    }
    benchmark::DoNotOptimize(canvas.constBits());
}

BENCHMARK(DrawDibFileEveryPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(QImageLoadAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char* argv[])
{
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: bench-paint [benchmark flags] PICTURE.bmp\n";
        return 64;
    }
    g_picture = argv[1];
    // Painting into images needs no screen; the offscreen platform keeps Qt quiet.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
