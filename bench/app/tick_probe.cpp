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
#include "platform/ui/MainWindow.h"
#include "platform/files/SettingsFile.h"

namespace {

class TimedDialog : public CZankoruCDlg {
public:
    TimedDialog(platform::Services& services, size_t ticks)
        : CZankoruCDlg(services), wanted(ticks) {
        times.reserve(ticks);
    }

    void OnTimer(int id) override {
        if (id == kTimerId && times.size() < wanted) {
            times.push_back(g_get_monotonic_time());
            if (times.size() == wanted) {
                EndDialog(kIdOk);
                return;
            }
        }
        CZankoruCDlg::OnTimer(id);
    }

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
    TimedDialog dialog(fakes.services, static_cast<size_t>(seconds) * 10 + 1);
    dialog.DoModal();
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
