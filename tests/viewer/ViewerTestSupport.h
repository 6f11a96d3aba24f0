// The viewer tests' shared pieces: a file written into a temporary folder and opened for the
// viewer, and the rows of a picture as text ('>' and '<' for the continuation markers, '~' for a
// selected cell's character when asked, '?' for anything beyond ASCII).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "viewer/ViewerFile.h"
#include "viewer/ViewerRender.h"
#include "viewer/ViewerText.h"

namespace kq::viewer::testing {

struct OpenedText {
    kq::test::TempFolder folder{"kq-viewer"};
    std::string path;
    ViewerFile file;
    ViewerText text{file};

    OpenedText(const std::string& content, int codePage) {
        path = folder.WriteFile("viewed", content);
        EXPECT_TRUE(file.Open(path.c_str()));
        text.SetCodePage(codePage);
    }
};

inline std::vector<std::string> PictureRows(const ViewerPicture& picture) {
    std::vector<std::string> rows;
    for (int y = 1; y < picture.height; ++y) {
        std::string row;
        for (int x = 0; x < picture.width; ++x) {
            const uint16_t unit = picture.cells[static_cast<size_t>(y * picture.width + x)];
            row += unit == 16                    ? '>'
                   : unit == 17                  ? '<'
                   : unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit)
                                                 : '?';
        }
        while (!row.empty() && row.back() == ' ') row.pop_back();
        rows.push_back(row);
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

inline std::vector<std::string> Render(OpenedText& opened, const ViewerView& view, int width,
                                       int height) {
    ViewerPicture picture;
    picture.Resize(width, height);
    opened.file.CheckSize();
    RenderRows(opened.text, view, picture);
    return PictureRows(picture);
}

}  // namespace kq::viewer::testing
