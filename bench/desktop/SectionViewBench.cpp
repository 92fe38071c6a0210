// What keeps sectionview's window fluid on a large section: preparing the scene after a change
// of the map (SectionScene::From), one repaint of the whole section (SectionPainter, simplified
// to the screen's resolution) and of a zoomed-in part (most entities culled), and the window's
// refresh after an engine call (the map read back from the kernel, the unsaved-changes check
// and the scene). The section: kCurves curves of state.range(0) points each, as a sequence of
// wavy layers, on a 1600 x 1000 picture.
//
// Run with `make bench` or build/bin/bench_sectionview; QT_QPA_PLATFORM=offscreen is set when
// the environment names no platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include <unistd.h>

#include <cstdio>

#include "sectionhost/desktop/CjkFonts.h"
#include "sectionhost/desktop/MainWindow.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/desktop/SectionPainter.h"
#include "sectionhost/desktop/SectionScene.h"
#include "sectionhost/desktop/ViewTransform.h"
#include "sectionhost/map/MapData.h"

namespace sectionhost {
namespace {

constexpr int kCurves = 100;
const QSize kPicture(1600, 1000);

MapData LargeSection(int pointsPerCurve) {
  MapData map;
  for (int c = 0; c < kCurves; ++c) {
    MapEntity e;
    e.id = c + 1;
    e.type = EntityPolyline;
    for (int i = 0; i < pointsPerCurve; ++i) {
      double x = 10000.0 * i / (pointsPerCurve - 1);
      Point3D p{x, c * 20.0 + 5 * std::sin(x / 50 + c), 0};
      e.nodes.push_back(p);
      e.linePoints.push_back(p);
    }
    map.entities.push_back(std::move(e));
  }
  return map;
}

void BM_SceneFromMap(benchmark::State& state) {
  MapData map = LargeSection(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(SectionScene::From(map));
  state.SetItemsProcessed(state.iterations() * kCurves * state.range(0));
}

void Paint(benchmark::State& state, double zoom) {
  SectionScene scene = SectionScene::From(LargeSection(static_cast<int>(state.range(0))));
  ViewTransform view;
  view.Fit(scene.extent, kPicture, 24);
  view.ZoomAbout(QPointF(kPicture.width() / 2.0, kPicture.height() / 2.0), zoom);
  PaintStyle style;
  style.font = CjkFonts::Font(10);
  QImage image(kPicture, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    SectionPainter::Paint(painter, scene, view, kPicture, style);
  }
  state.SetItemsProcessed(state.iterations() * kCurves * state.range(0));
}

void BM_PaintWholeSection(benchmark::State& state) {
  Paint(state, 1.0);
}

void BM_PaintZoomedIn(benchmark::State& state) {
  Paint(state, 50.0);
}

// The window's refresh after an engine call, on the section opened from a file (no plug-in).
void BM_WindowRefresh(benchmark::State& state) {
  std::string path = "/tmp/bench_sectionview_" + std::to_string(getpid()) + ".geojson";
  std::string error;
  if (!MapFile::Write(path, LargeSection(static_cast<int>(state.range(0))), &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  {
    MainWindow window;
    ViewOptions options;
    options.map = path;
    if (!window.Start(options, &error)) {
      state.SkipWithError(error.c_str());
    } else {
      for (auto _ : state) window.Refresh();
    }
  }
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * kCurves * state.range(0));
}

BENCHMARK(BM_WindowRefresh)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneFromMap)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintWholeSection)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintZoomedIn)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sectionhost

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
