#pragma once

// The program's version, shown in the window title and the about box.
inline const char *const DxuVersion = "v1.5.5";
inline const char *const DxuBuildDate = "Feb 20 2018";
