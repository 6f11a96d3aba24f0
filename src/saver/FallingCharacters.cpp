// The falling-characters frames. Attributes: 2 green on black, 7 grey, 10 light green,
// 15 white; characters from a small table, box lines from the console code page.
#include "saver/FallingCharacters.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace kq::saver {

namespace {

constexpr char kCharacters[] = "   01236g''7X89#$@";
constexpr int kCharacterCount = sizeof kCharacters - 1;
constexpr uint8_t kGreen = 2;
constexpr uint8_t kGrey = 7;
constexpr uint8_t kLightGreen = 10;
constexpr uint8_t kWhite = 15;
// Steps between wipes, and the range the stripe spacing runs through.
constexpr int kWipeEvery = 100;
constexpr int kFirstGap = 4;
constexpr int kLastGap = 20;

constexpr char kMessage[] = "SYSTEM FAILURE";
constexpr int kBoxWidth = sizeof kMessage + 1;

// The message in a single-line box of the console code page: line 0 to 2, column 0 to 15.
uint8_t BoxCharacter(int line, int column) {
    const bool edge = column == 0 || column == kBoxWidth - 1;
    if (line == 1) return edge ? 0xB3 : static_cast<uint8_t>(kMessage[column - 1]);
    if (!edge) return 0xC4;
    if (line == 0) return column == 0 ? 0xDA : 0xBF;
    return column == 0 ? 0xC0 : 0xD9;
}

}  // namespace

int SaverRandom(int64_t n) {
    if (n < 1) return 0;
    // Fifteen bits, as the generator gives on every platform; the product needs 64 bits.
    const int64_t draw = std::rand() & 0x7FFF;
    return static_cast<int>(draw * n / 32768);
}

bool FallingCharacters::Load(int width, int height) {
    Unload();
    if (width < 1 || height < 1) return false;
    const size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
    try {
        characters_.assign(cells, ' ');
        attributes_.assign(cells, kGreen);
        output_.assign(cells * 2, 0);
        drops_.assign(kMaxDrops, 0);
    } catch (const std::bad_alloc&) {
        Unload();
        return false;
    }
    width_ = width;
    height_ = height;
    frame_ = 0;
    dropCount_ = std::min(width / 3, kMaxDrops);
    for (int i = 0; i < dropCount_; ++i) drops_[static_cast<size_t>(i)] = StartPosition();
    return true;
}

void FallingCharacters::Unload() {
    // Released, not only cleared: a large screen's cells are given back at once.
    std::vector<uint8_t>().swap(characters_);
    std::vector<uint8_t>().swap(attributes_);
    std::vector<uint8_t>().swap(output_);
    std::vector<int64_t>().swap(drops_);
    width_ = height_ = dropCount_ = 0;
}

// Somewhere from row 2 to row height - 9; screens lower than 11 rows start every drop in row 2
// (they would otherwise have no start row, or all drops in column 0).
int64_t FallingCharacters::StartPosition() const {
    const int64_t rows = std::max(height_ - 10, 1);
    return SaverRandom(rows * width_) + 2LL * width_;
}

void FallingCharacters::SetAttribute(int64_t cell, uint8_t attribute) {
    if (cell >= 0 && cell < Size()) attributes_[static_cast<size_t>(cell)] = attribute;
}

void FallingCharacters::DrawDrop(int64_t position) {
    SetAttribute(position - 2LL * width_, kLightGreen);
    SetAttribute(position - width_, kGrey);
    SetAttribute(position, kWhite);
    SetAttribute(position + width_, kLightGreen);
    // The column from the top down to the head moves one row down; a new character enters at
    // the top.
    const int64_t column = position % width_;
    const int64_t headRow = std::min<int64_t>(position / width_, height_ - 1);
    for (int64_t row = headRow; row >= 1; --row) {
        characters_[static_cast<size_t>(row * width_ + column)] =
            characters_[static_cast<size_t>((row - 1) * width_ + column)];
    }
    characters_[static_cast<size_t>(column)] =
        static_cast<uint8_t>(kCharacters[SaverRandom(kCharacterCount)]);
}

void FallingCharacters::DrawStripes() {
    for (int y = 0; y < height_; ++y) {
        uint8_t* row = characters_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
        for (int x = gap_; x + 1 < width_; x += gap_) row[x] = row[x + 1] = ' ';
    }
}

void FallingCharacters::DrawMessage() {
    const int top = height_ / 2 - 1;
    const int left = width_ / 2 - kBoxWidth / 2;
    // Parts of the box that a small screen cannot hold are left out.
    for (int line = 0; line < 3; ++line) {
        const int y = top + line;
        if (y < 0 || y >= height_) continue;
        for (int i = 0; i < kBoxWidth; ++i) {
            const int x = left + i;
            if (x < 0 || x >= width_) continue;
            const size_t cell = static_cast<size_t>(y) * static_cast<size_t>(width_) + x;
            characters_[cell] = BoxCharacter(line, i);
            attributes_[cell] = kLightGreen;
        }
    }
}

bool FallingCharacters::Step() {
    if (!Loaded()) return false;
    ++frame_;
    if (stepCounter_ == kWipeEvery) {
        stepCounter_ = 0;
        gap_ = gap_ == kLastGap ? kFirstGap : gap_ + 1;
        std::fill(characters_.begin(), characters_.end(), ' ');
    } else {
        ++stepCounter_;
    }
    std::fill(attributes_.begin(), attributes_.end(), kGreen);
    for (int i = 0; i < dropCount_; ++i) {
        int64_t& position = drops_[static_cast<size_t>(i)];
        // A head on one of the two bottom rows starts again from the top part.
        if (position + 2LL * width_ > Size()) position = StartPosition();
        position += width_;
    }
    for (int i = 0; i < dropCount_; ++i) DrawDrop(drops_[static_cast<size_t>(i)]);
    DrawStripes();
    const bool message = frame_ == kMessageFrame;
    if (message) {
        DrawMessage();
        frame_ = 0;
    }
    for (size_t i = 0; i < characters_.size(); ++i) {
        output_[2 * i] = characters_[i];
        output_[2 * i + 1] = attributes_[i];
    }
    return message;
}

}  // namespace kq::saver
