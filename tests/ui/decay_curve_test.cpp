#include "ui/decay_curve.h"

#include <cmath>

#include "ui/options_dialog.h"
#include "ui_fixture.h"

namespace {

CurveInputs inputs(float exponent, bool emphasis = false, float factor = 0.0f, bool noDecay = false) {
    CurveInputs in;
    in.noDecay = noDecay;
    in.exponent = exponent;
    in.emphasis = emphasis;
    in.emphasisFactor = factor;
    return in;
}

TEST(DecayCurvePoints, EveryExponentEndsAtTheTopRightCorner) {
    for (float exponent : {0.01f, 0.29f, 1.0f, 5.0f}) {
        const auto points = decayCurvePoints(142, 135, inputs(exponent));
        ASSERT_GE(points.size(), 2u);
        EXPECT_EQ(points.front().x, 1);
        EXPECT_EQ(points.front().y, 134);
        EXPECT_EQ(points.back().x, 141);
        EXPECT_EQ(points.back().y, 1);
    }
    // 0.01 leaves the bottom at once; 5.00 is still near the bottom at point 40.
    EXPECT_LT(decayCurvePoints(142, 135, inputs(0.01f))[1].y, 10);
    EXPECT_EQ(decayCurvePoints(142, 135, inputs(5.0f))[40].y, 132);
}

TEST(DecayCurvePoints, EmphasisHalvesTheSecondNewestAtLevelHundred) {
    const auto points = decayCurvePoints(102, 102, inputs(1.0f, true, 1.0f));
    ASSERT_EQ(points.size(), 101u);
    EXPECT_EQ(points[99].y, static_cast<int>(std::trunc(100 * (1 - 0.99 / 2))) + 1);
    EXPECT_EQ(points[100].y, 1);
}

TEST(DecayCurvePoints, NegativeLevelsAndOddTextsSkipPointsInsteadOfMisdrawing) {
    // Level -100: the divisor of point 99 is 0, so that weight is infinite.
    const CurveInputs negative = curveInputsFromTexts(false, "1.00", "-100", true);
    const auto points = decayCurvePoints(102, 102, negative);
    for (const CurvePoint& p : points) {
        EXPECT_GE(p.y, 1);
        EXPECT_LE(p.y, 101);
        EXPECT_NE(p.x, 99 + 1);
    }
    EXPECT_FLOAT_EQ(curveInputsFromTexts(false, "", "", false).exponent, 0.01f);
    EXPECT_FLOAT_EQ(curveInputsFromTexts(false, "9", "", false).exponent, 5.0f);
    EXPECT_FLOAT_EQ(curveInputsFromTexts(false, "nan", "", false).exponent, 0.01f);
    EXPECT_FLOAT_EQ(curveInputsFromTexts(false, "1", "", true).emphasisFactor, 0.0f);
}

// The preview as it is on screen: a black pixel where the curve runs.
class CurvePixels : public UiTest {
protected:
    HWND dialog = nullptr;
    HWND preview = nullptr;
    int width = 0;
    int height = 0;

    void openWith(const char* exponent, bool noDecay, bool emphasis, const char* level) {
        writeIni("OPTION", "REDUCE_PER", exponent);
        writeIni("OPTION", "REDUCE_FIXED", noDecay ? "1" : "0");
        writeIni("OPTION", "EMPHASIS_ON", emphasis ? "1" : "0");
        writeIni("OPTION", "EMPHASIS_LEVEL", level);
        loadSettings(false);
        ASSERT_TRUE(openOptionsDialog(nullptr));
        dialog = optionsDialog;
        pumpFor(50);
        preview = GetDlgItem(dialog, IDC_CURVE_PREVIEW);
        RECT client;
        GetClientRect(preview, &client);
        width = client.right;
        height = client.bottom;
    }
    std::vector<bool> blackPixels() {
        std::vector<bool> black(static_cast<size_t>(width * height));
        HDC dc = GetDC(preview);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) black[static_cast<size_t>(y * width + x)] = GetPixel(dc, x, y) == 0;
        }
        ReleaseDC(preview, dc);
        return black;
    }
    bool at(const std::vector<bool>& black, int x, int y) { return black[static_cast<size_t>(y * width + x)]; }
};

TEST_F(CurvePixels, NoDecayIsOneFlatLineAtHalfHeight) {
    openWith("0.5", true, true, "100");
    const auto black = blackPixels();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool onLine = y == height / 2 && x >= 1 && x <= width - 1;
            ASSERT_EQ(at(black, x, y), onLine) << x << "," << y;
        }
    }
}

TEST_F(CurvePixels, ExponentOneIsTheDiagonalAndSurvivesARepaint) {
    openWith("1.00", false, false, "100");
    auto black = blackPixels();
    // One pixel of the line in every column from the left edge to the top right;
    // LineTo stops short of its end, so (W - 1, 1) itself stays white.
    for (int x = 2; x < width - 1; ++x) {
        const double expected = (height - 1) - (x - 1) * double(height - 2) / (width - 2);
        bool onLine = false;
        for (int y = 0; y < height; ++y) {
            if (at(black, x, y)) onLine = onLine || std::fabs(y - expected) <= 2.0;
        }
        EXPECT_TRUE(onLine) << "column " << x;
    }
    EXPECT_TRUE(at(black, width - 2, 1) || at(black, width - 2, 2));
    EXPECT_FALSE(at(black, 0, 0));

    // Covered and uncovered: the whole dialog repaints, the curve comes back.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpFor(50);
    EXPECT_EQ(blackPixels(), black);
}

TEST_F(CurvePixels, StrongEmphasisClimbsSteeplyAtTheRightEdge) {
    openWith("1.00", false, true, "100");
    const auto black = blackPixels();
    auto topmostBlack = [&](int x) {
        for (int y = 0; y < height; ++y) {
            if (at(black, x, y)) return y;
        }
        return height;
    };
    // Point 97 (weight 0.97 / 4) still sits in the lower part; the last columns
    // reach the top.
    const int column97 = (width - 2) * 97 / 100 + 1;
    EXPECT_GT(topmostBlack(column97), height / 2);
    EXPECT_LE(topmostBlack(width - 2), height / 2);
    // The unchecked box changes it back to the diagonal's middle.
    SendMessageW(GetDlgItem(dialog, IDC_EMPHASIS_ON), BM_CLICK, 0, 0);
    const auto plain = blackPixels();
    bool middleHigh = false;
    for (int y = 0; y < height * 2 / 3; ++y) middleHigh = middleHigh || at(plain, width / 2, y);
    EXPECT_TRUE(middleHigh);
}

}  // namespace
