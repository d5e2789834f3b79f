// Painting a plot box over a year of 1-minute data (525,600 records) with 12 curves into a
// 1920-pixel-wide bitmap, against (a) a plain scan of the same buffer bytes that decodes each
// record's stamp and 12 values with its own decoder and allocates nothing and (b) drawing the
// same reduced polylines alone. Goal: the paint within 2 x (a + b), and (b) under 16 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "datastore/channels.h"
#include "datastore/dt_data.h"
#include "platform/gui/forms.h"
#include "visual/axis_scale.h"
#include "visual/plot_box.h"

namespace {

using namespace qv;

constexpr int kCurves = 12;
constexpr int kWidth = 1920, kHeight = 600;
constexpr uint16_t kFirstDay = 40000;
constexpr int64_t kRecords = 525600;

class TBenchData : public TDtData {
public:
  explicit TBenchData(TRecord* rec) : TDtData("", rec) {}
  int32_t WriteData() override { return drDone; }
  int32_t ReadData() override {
    TDataLock lock(*this);
    Buffer()->SetSize(0);
    Buffer()->Write(stored.data(), static_cast<int32_t>(stored.size()));
    Buffer()->SetPosition(0);
    SetPositions(true, 0);
    return drDone;
  }
  std::string DefineIdent() override { return "bench"; }
  std::string GetName() override { return "bench"; }
  std::string GetSName() override { return "bench"; }
  bool NoData() override { return BufferSize() == 0; }
  using TDtData::Buffer;
  std::string stored;
};

struct TYearPlot {
  TDtRecord rec{kCurves};
  TBenchData data{&rec};
  std::unique_ptr<TChannels> channels = TChannels::CreateDefault();
  TGlobChanList curves;
  std::unique_ptr<TForm> form;
  TDtPlotBox* box = nullptr;
  TBitmap bitmap{kWidth, kHeight};
  // The reduced polylines of one paint, for drawing them alone.
  std::vector<std::vector<TPoint>> polylines;

  TYearPlot() {
    InitializeGui();
    for (int k = 1; k <= kCurves; ++k) channels->Add(std::make_unique<TChannel>(static_cast<uint8_t>(k)));
    data.SetChannels(channels.get());
    data.NewBuffer();
    TDtRecord r(kCurves);
    for (int64_t i = 0; i < kRecords; ++i) {
      r.Date = static_cast<uint16_t>(kFirstDay + i / 1440);
      r.Time = static_cast<int32_t>((i % 1440) * 60);
      for (int c = 0; c < kCurves; ++c)
        r.SetValues(c, 20 + 10 * c + 15 * std::sin(i / (200.0 + 37 * c)) + ((i * 7919 + c * 104729) % 97) / 20.0);
      data.InsertRecord(r);
    }
    data.stored = data.Buffer()->Bytes();
    const TDtStamp start{kFirstDay, 0}, stop{static_cast<uint16_t>(kFirstDay + 365), 0};
    data.OpenDT(start, stop, NoDtStamp, NoDtStamp);
    form = std::make_unique<TForm>(nullptr);
    auto* left = new TAxisScale(form.get(), 2, 1, 200, -20, 0, nullptr);
    left->SetBounds(0, 0, 40, kHeight);
    auto* right = new TAxisScale(form.get(), 2, 1, 100, 0, 1, nullptr);
    right->SetBounds(0, 0, 40, kHeight);
    auto* time = new TDtAxisScale(form.get(), 2, 1, start, stop, 3, nullptr);
    time->SetBounds(0, 0, kWidth, 20);
    box = new TDtPlotBox(form.get(), right, left, time);
    box->SetBounds(0, 0, kWidth, kHeight);
    box->ChanList = &curves;
    box->SetLeftGrid(true);
    for (int k = 1; k <= kCurves; ++k) {
      auto c = std::make_unique<TPlotGlbChan>(&data, channels->FindByKey(k));
      c->Color = RGB(20 * k, 255 - 20 * k, 128);
      curves.Add(std::move(c));
    }
    TRecordingCanvas recorder(kWidth, kHeight);
    recorder.StartRecording();
    box->PaintOn(recorder);
    for (const TCanvasCall& call : recorder.Calls())
      if (call.Op == "Polyline" && call.Pen.Width == box->CurvePenWidth) polylines.push_back(call.Points);
  }

  void Paint() { box->PaintOn(bitmap.Canvas()); }

  // The peer's own decoder of a six-byte value.
  static double PlainValue(const uint8_t* p) {
    if (p[0] == 0) return 0.0;
    uint32_t low;
    std::memcpy(&low, p + 1, 4);
    const uint64_t f = uint64_t{low} | uint64_t{p[5] & 0x7Fu} << 32;
    const uint64_t bits = uint64_t{p[5] & 0x80u} << 56 | (uint64_t{p[0]} + 894) << 52 | f << 13;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  }

  double Scan() {
    // A sum per curve, so that the additions do not wait on one another.
    double sums[kCurves + 1] = {};
    TDataLock lock(data);
    // Every record once, with its stamp and every value the curves show.
    const uint8_t* p = data.Buffer()->Memory();
    const int64_t size = rec.Size(), n = data.BufferSize() / size;
    for (int64_t i = 0; i < n; ++i, p += size) {
      uint16_t date;
      int32_t time;
      std::memcpy(&date, p, 2);
      std::memcpy(&time, p + 6, 4);
      sums[kCurves] += date + time;
      for (int c = 0; c < kCurves; ++c) sums[c] += PlainValue(p + 12 + 6 * c);
    }
    double sum = 0;
    for (double x : sums) sum += x;
    return sum;
  }

  void DrawReduced() {
    TCanvas& c = bitmap.Canvas();
    c.Brush().Color = clWhite;
    c.Rectangle(0, 0, kWidth, kHeight);
    c.Pen().Width = box->CurvePenWidth;
    for (size_t i = 0; i < polylines.size(); ++i) {
      c.Pen().Color = RGB(static_cast<int>(20 * (i % kCurves)), 80, 128);
      c.Polyline(polylines[i]);
    }
  }
};

TYearPlot& Plot() {
  static TYearPlot plot;
  return plot;
}

void BM_PaintYear12Curves(benchmark::State& state) {
  for (auto _ : state) Plot().Paint();
}
void BM_LinearScan(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Plot().Scan());
}
void BM_DrawReducedPolylines(benchmark::State& state) {
  for (auto _ : state) Plot().DrawReduced();
}
BENCHMARK(BM_PaintYear12Curves)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinearScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawReducedPolylines)->Unit(benchmark::kMillisecond);

template <class F>
double BestMs(int reps, F f) {
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const int reps = std::getenv("QV_BENCH_BRIEF") ? 2 : 10;
  TYearPlot& p = Plot();
  const double paint = BestMs(reps, [&] { p.Paint(); });
  const double scan = BestMs(reps, [&] { benchmark::DoNotOptimize(p.Scan()); });
  const double draw = BestMs(reps, [&] { p.DrawReduced(); });
  size_t points = 0;
  for (const auto& l : p.polylines) points += l.size();
  std::printf("records %lld, curves %d, polylines %zu, points %zu\n", static_cast<long long>(kRecords), kCurves,
              p.polylines.size(), points);
  std::printf(
      "paint %.2f ms; (a) plain scan %.2f ms + (b) draw %.2f ms = %.2f ms; ratio %.2f (goal <= 2)%s; draw step "
      "%.2f ms (goal < 16)\n",
      paint, scan, draw, scan + draw, paint / (scan + draw), paint / (scan + draw) <= 2 ? " met" : " missed", draw);
  benchmark::Shutdown();
  return 0;
}
