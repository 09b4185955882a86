#pragma once
// The pictures: SVG sources rendered to PNG, flattened onto pure black with
// no alpha channel (the game draws them over black, and draws the arm with
// black as its transparent colour).
#include <string>

namespace assets {

// Renders `svgPath` at exactly width x height pixels into `pngPath`, flattened
// onto black, or keeping its transparency (the application icon) when
// `keepAlpha` is set. False (with `error` set) when the SVG cannot be read or
// the PNG not written.
bool RenderSvgToPng(const std::string& svgPath, const std::string& pngPath, int width, int height,
                    bool keepAlpha, std::string& error);

}  // namespace assets
