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

// Checks a written picture as the game shows it, on its black window: the
// top row and both sides are pure black (or a frame shows), and more than a
// twentieth of it is drawn. A `colourKeyed` picture (the arm, drawn with
// black transparent) has no nearly black pixel, which would show as a dark
// fringe, and leaves most of itself transparent. False with `error` set,
// naming the file and the limit.
bool CheckPicture(const std::string& pngPath, bool colourKeyed, std::string& error);

}  // namespace assets
