#pragma once

#include <array>
#include <string>
#include <vector>

namespace portal {

// The pictures the sample portal serves, drawn on request as PNG bytes.
namespace PortalImages {

// An 80 x 80 gift icon: a coloured tile with the game's first character.
std::vector<unsigned char> icon(const std::string& game, int seed);
// A 320 x 126 carousel picture with its caption.
std::vector<unsigned char> banner(const std::string& caption, int seed);
// A 64 x 64 avatar with the nickname's first character.
std::vector<unsigned char> avatar(const std::string& nickname, int seed);

// The captcha picture, 140 x 180 pixels: the question strip at (10, 10, 120, 40) asks for
// `answer` (the words to tap, in order), and nine 40 x 40 tiles at (10 + 40 (i mod 3),
// 50 + 40 (i div 3)) each show `words[i]`.
constexpr int kCaptchaWidth = 140;
constexpr int kCaptchaHeight = 180;
std::vector<unsigned char> captcha(const std::vector<std::string>& answer, const std::array<std::string, 9>& words, int seed);

}

}
