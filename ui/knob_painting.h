#pragma once

#include <windows.h>
#include <commctrl.h>

// The custom look of the control window: orange octagons that turn green
// while pressed, for the two push buttons and the knob of every slider.

// Paints an owner-drawn button ("Snap Noise", "OUT") for WM_DRAWITEM.
void paintOctagonButton(const DRAWITEMSTRUCT& item);

// Answers a slider's NM_CUSTOMDRAW: draws the thumb as an octagon carrying
// the slider's value and leaves the channel and ticks to the control.
LRESULT paintSliderKnob(NMCUSTOMDRAW& draw);
