#include "ui/decay_curve.h"

#include <commctrl.h>

#include <cmath>
#include <cstdlib>

#include "core/text.h"
#include "core/texts.h"
#include "composite/portable_pow.h"
#include "resources/resource.h"

CurveInputs curveInputsFromTexts(bool noDecay, const char* exponentText, const char* levelText, bool emphasis) {
    CurveInputs inputs;
    inputs.noDecay = noDecay;
    float exponent = static_cast<float>(atof(exponentText));
    if (exponent < 0.01f) {
        exponent = 0.01f;
    } else if (exponent > 5.0f) {
        exponent = 5.0f;
    }
    // A text that parses to no number at all (NaN) draws like any other non-number.
    if (std::isnan(exponent)) exponent = 0.01f;
    inputs.exponent = exponent;
    inputs.emphasisFactor = static_cast<float>(atoi(levelText) * 0.01);
    inputs.emphasis = emphasis;
    return inputs;
}

std::vector<CurvePoint> decayCurvePoints(int width, int height, const CurveInputs& inputs) {
    std::vector<CurvePoint> points;
    if (inputs.noDecay) {
        points.push_back({1, height / 2});
        points.push_back({width, height / 2});
        return points;
    }
    points.push_back({1, height - 1});
    const float k = inputs.emphasisFactor;
    for (int i = 1; i <= 100; ++i) {
        double weight = portablePow(i * 0.01, static_cast<double>(inputs.exponent));
        if (inputs.emphasis) weight = weight / static_cast<double>((100 - i) * k + 1.0f);
        const int x = (width - 2) * i / 100 + 1;
        if (x > width - 1 || x < 1) continue;
        // In double first: a weight that is not finite lands outside the box.
        const double y = std::trunc((height - 2) * (1.0 - weight)) + 1.0;
        if (!(y <= height - 1 && y >= 1)) continue;
        points.push_back({x, static_cast<int>(y)});
    }
    return points;
}

namespace {

bool isChecked(HWND dialog, int id) {
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

const UINT_PTR kRepaintSubclassId = 1;

LRESULT CALLBACK previewProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, previewProc, kRepaintSubclassId);
    const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
    // The default painting leaves a blank frame: draw the curve over it.
    if (message == WM_PAINT) drawDecayCurve(GetParent(control));
    return result;
}

}  // namespace

void drawDecayCurve(HWND dialog) {
    if (!dialog) return;
    HWND preview = GetDlgItem(dialog, IDC_CURVE_PREVIEW);
    if (!preview) return;
    HDC dc = GetDC(preview);
    if (!dc) return;
    RECT client;
    GetClientRect(preview, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    if (isChecked(dialog, IDC_MODE_MEDIAN)) {
        // The median weighs every sample alike: there is no curve to show.
        const std::wstring note = wideFromShiftJis(uiText(Text::MedianCurveNote));
        HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
        RECT box = client;
        InflateRect(&box, -4, -4);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, note.c_str(), -1, &box, DT_CENTER | DT_WORDBREAK);
        SelectObject(dc, previousFont);
        ReleaseDC(preview, dc);
        return;
    }

    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ previousPen = SelectObject(dc, pen);

    char exponentText[1024] = "";
    char levelText[1024] = "";
    GetDlgItemTextA(dialog, IDC_DECAY_TEXT, exponentText, sizeof exponentText);
    GetDlgItemTextA(dialog, IDC_EMPHASIS_LEVEL, levelText, sizeof levelText);
    const CurveInputs inputs = curveInputsFromTexts(isChecked(dialog, IDC_NO_DECAY), exponentText, levelText,
                                                    isChecked(dialog, IDC_EMPHASIS_ON));
    const std::vector<CurvePoint> points =
        decayCurvePoints(client.right - client.left, client.bottom - client.top, inputs);
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (size_t i = 1; i < points.size(); ++i) LineTo(dc, points[i].x, points[i].y);

    SelectObject(dc, previousPen);
    DeleteObject(pen);
    ReleaseDC(preview, dc);
}

void keepDecayCurveOnRepaint(HWND dialog) {
    HWND preview = GetDlgItem(dialog, IDC_CURVE_PREVIEW);
    if (preview) SetWindowSubclass(preview, previewProc, kRepaintSubclassId, 0);
}
