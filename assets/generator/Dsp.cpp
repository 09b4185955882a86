#include "Dsp.h"

namespace assets {
namespace {

struct Coefficients {
    double w0, cosW, alpha;
};

Coefficients Prepare(double hz, double q) {
    double w0 = 2.0 * std::numbers::pi * hz / kRate;
    return {w0, std::cos(w0), std::sin(w0) / (2.0 * q)};
}

}  // namespace

Biquad Biquad::LowPass(double hz, double q) {
    Coefficients c = Prepare(hz, q);
    double a0 = 1.0 + c.alpha;
    Biquad f;
    f.b0 = (1.0 - c.cosW) / 2.0 / a0;
    f.b1 = (1.0 - c.cosW) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c.cosW / a0;
    f.a2 = (1.0 - c.alpha) / a0;
    return f;
}

Biquad Biquad::HighPass(double hz, double q) {
    Coefficients c = Prepare(hz, q);
    double a0 = 1.0 + c.alpha;
    Biquad f;
    f.b0 = (1.0 + c.cosW) / 2.0 / a0;
    f.b1 = -(1.0 + c.cosW) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c.cosW / a0;
    f.a2 = (1.0 - c.alpha) / a0;
    return f;
}

Biquad Biquad::BandPass(double hz, double q) {
    Coefficients c = Prepare(hz, q);
    double a0 = 1.0 + c.alpha;
    Biquad f;
    f.b0 = c.alpha / a0;
    f.b1 = 0.0;
    f.b2 = -c.alpha / a0;
    f.a1 = -2.0 * c.cosW / a0;
    f.a2 = (1.0 - c.alpha) / a0;
    return f;
}

}  // namespace assets
