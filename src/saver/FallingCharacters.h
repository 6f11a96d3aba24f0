// The falling-characters animation: green columns of characters that run down the screen, blank
// stripes that move across after every wipe, and now and then a framed message in the middle.
// It builds each frame as cells without touching the console, so that every step can be
// checked cell by cell; the internal saver hands the frames to the console.
#pragma once

#include <cstdint>
#include <vector>

namespace kq::saver {

// A number from 0 to n - 1 from the C library's generator (never seeded here), 0 when n < 1.
int SaverRandom(int64_t n);

class FallingCharacters {
  public:
    static constexpr int kMaxDrops = 1024;
    // Steps from one message to the next.
    static constexpr int kMessageFrame = 1000;

    // Takes the screen's size and blanks every character; a new message cycle begins, while
    // the wipe count and the stripe spacing stay as the last run left them. False (and nothing
    // to show) when the cells cannot be allocated.
    bool Load(int width, int height);
    void Unload();
    bool Loaded() const { return !output_.empty(); }

    // Computes the next frame. True when it is the message frame, which the caller holds on the
    // screen for a while.
    bool Step();

    // The frame as (character, attribute) pairs, row-major, Width() x Height() cells.
    const std::vector<uint8_t>& Cells() const { return output_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int DropCount() const { return dropCount_; }
    // The column spacing of the blank stripes.
    int Gap() const { return gap_; }

  private:
    int64_t Size() const { return static_cast<int64_t>(width_) * height_; }
    int64_t StartPosition() const;
    void SetAttribute(int64_t cell, uint8_t attribute);
    void DrawDrop(int64_t position);
    void DrawStripes();
    void DrawMessage();

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> characters_;
    std::vector<uint8_t> attributes_;
    std::vector<uint8_t> output_;
    // Each drop's head as a cell index (row x width + column); may lie below the screen on
    // screens too low for the drops' start rows, which is why every write is checked.
    std::vector<int64_t> drops_;
    int dropCount_ = 0;
    int frame_ = 0;
    int stepCounter_ = 0;
    int gap_ = 4;
};

}  // namespace kq::saver
