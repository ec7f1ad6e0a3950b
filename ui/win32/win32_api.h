// <windows.h> for the front end. Included before the neutral UI headers'
// names are used: the window system defines TextOut as a macro for TextOutA or
// TextOutW, which would rename ui::Canvas::TextOut in these translation units.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef TextOut
