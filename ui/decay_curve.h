#pragma once
// The decay-curve preview of the options dialog: how strongly each of 100 samples
// would count in the composite with the dialog's current (not yet applied) values,
// oldest on the left, weight 0 at the bottom and 1 at the top.
#include <windows.h>

#include <vector>

struct CurveInputs {
    bool noDecay = false;   // check box "no decay": a flat line at half height
    float exponent = 1.0f;  // decay exponent, brought into 0.01 ... 5.0
    float emphasisFactor = 0.0f;  // emphasis level / 100, unclamped
    bool emphasis = false;  // emphasise newer samples further
};

// Reads the inputs from the dialog's texts and check states, as atof and atoi do.
CurveInputs curveInputsFromTexts(bool noDecay, const char* exponentText, const char* levelText, bool emphasis);

struct CurvePoint {
    int x;
    int y;
};

// The polyline for a client area of width x height pixels: the first point is where
// the pen starts, each further one is the end of a line from the one before (drawn
// up to, not including, that end). Points outside the box are left out, so the
// line joins the last point drawn to the next one inside.
std::vector<CurvePoint> decayCurvePoints(int width, int height, const CurveInputs& inputs);

// Draws the curve into the preview control of the options dialog. Null does nothing.
void drawDecayCurve(HWND dialog);

// Makes the preview control draw the curve again whenever it is repainted, so a
// covered and uncovered dialog still shows it.
void keepDecayCurveOnRepaint(HWND dialog);
