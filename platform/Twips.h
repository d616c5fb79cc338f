#pragma once

// Window geometry in the design is given in twips; 15 twips make one logical pixel.
namespace Twips {
inline constexpr int PerPixel = 15;
constexpr int toPixels(int twips)
{
    return (twips + PerPixel / 2) / PerPixel;
}
} // namespace Twips
