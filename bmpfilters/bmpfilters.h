#pragma once
// Colour reduction of 24-bit bitmaps to the fixed 252-colour palette.
