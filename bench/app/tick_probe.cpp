// Runs the real game window (menu, music and all) on the display for a while
// and reports how regularly its 100 ms timer ticks: the period between ticks
// (median, 99th percentile, extremes) and the drift of the whole run.
//   app_tick_probe [seconds]   (from a game directory, on an X display)
#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FakeServices.h"
#include "app/CZankoruCDlg.h"
#include "platform/files/SettingsFile.h"
#include "platform/sys/AppName.h"
#include "platform/ui/MainWindow.h"

namespace {

// Stands between the on-screen window and the game window, noting the time
// of each tick before the game window handles it.
class TimedWindow : public platform::WindowHandler {
  public:
    TimedWindow(CZankoruCDlg& game, platform::MainWindow& window, size_t ticks)
        : game(game), window(window), wanted(ticks) {
        times.reserve(ticks);
    }
    void OnStart() override { game.OnInitDialog(); }
    void OnTick(int id) override {
        if (id == CZankoruCDlg::kTimerId && times.size() < wanted) {
            times.push_back(g_get_monotonic_time());
            if (times.size() == wanted) {
                window.EndRun(CZankoruCDlg::kIdOk);
                return;
            }
        }
        game.OnTimer(id);
    }
    void OnKeyRelease(int key) override { game.OnKeyUp(key); }
    void OnDraw(platform::Canvas& canvas, bool minimised) override {
        game.OnPaint(canvas, minimised);
    }
    void OnCloseRequest() override { game.OnCancel(); }
    void OnEnd() override { game.OnDestroy(); }

    CZankoruCDlg& game;
    platform::MainWindow& window;
    size_t wanted;
    std::vector<gint64> times;
};

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    if (!platform::OpenDisplay()) {
        std::fprintf(stderr, "app_tick_probe: no display\n");
        return 1;
    }
    platform::SetSettingsCompany("velkor");
    FakeServices fakes;  // the ticks are timed; the sound output plays nowhere
    CZankoruCDlg game(fakes.services, platform::CurrentDirectory());
    platform::MainWindow window("ZankoruC", CZankoruCDlg::kClientWidth,
                                CZankoruCDlg::kClientHeight);
    game.frame = &window;
    TimedWindow dialog(game, window, static_cast<size_t>(seconds) * 10 + 1);
    window.Run(dialog);
    game.frame = nullptr;
    if (dialog.times.size() < 3) {
        std::fprintf(stderr, "app_tick_probe: too few ticks\n");
        return 1;
    }
    std::vector<double> periods;
    for (size_t i = 1; i < dialog.times.size(); ++i) {
        periods.push_back(static_cast<double>(dialog.times[i] - dialog.times[i - 1]) / 1000.0);
    }
    double span = static_cast<double>(dialog.times.back() - dialog.times.front()) / 1000.0;
    double drift = span - 100.0 * static_cast<double>(periods.size());
    std::printf(
        "ticks=%zu median_ms=%.2f p99_ms=%.2f min_ms=%.2f max_ms=%.2f drift_ms=%.2f over %.1f s\n",
        dialog.times.size(), Percentile(periods, 0.5), Percentile(periods, 0.99),
        *std::min_element(periods.begin(), periods.end()),
        *std::max_element(periods.begin(), periods.end()), drift, span / 1000.0);
    return 0;
}
