#pragma once

// Windows speaks UTF-16 and the program's text is UTF-8: the conversions between them, and the
// forms a path takes on its way to the file API. Windows builds only.

#include <string>

#include "text/Text.h"

Text utf8FromWide(const wchar_t* chars, int count);
std::wstring wideFromUtf8(const Text& text);

// `path` made absolute as this program reads it: against the current folder, or against a
// drive's own current folder for "M:" and "M:name"; '/' taken for '\'; "." and ".." resolved by
// the names alone; every other name kept as it is, trailing dots and spaces included, which the
// system's own full path would strip ("Plane." is not "Plane"). A name the system takes for a
// device (NUL, CON) is left to it, as \\.\NUL. The form shown to the user: C:\... or
// \\server\share\...; `path` itself when the current folder cannot be told.
std::wstring fullWidePath(const std::wstring& path);

// fullWidePath(path) in the form that the file API takes as it stands, without stripping or
// resolving anything: \\?\C:\... or \\?\UNC\server\share\.... A path already in such a form is
// kept.
std::wstring apiWidePath(const std::wstring& path);
std::wstring apiWidePath(const Text& path);

// Where the file or folder at `path` really is, every link resolved, in the shown form; empty when
// that cannot be told. Hosts that give a name leading elsewhere (Wine drops a trailing dot from
// it) are not believed: the name must lead back to the very file.
std::wstring finalWidePath(const std::wstring& path);

// Whether a name with these attributes and reparse tag stands for another name: a symbolic link or
// a junction. Other reparse points (a compressed, deduplicated or cloud-held file or folder) are
// the file or folder itself, and are taken as such.
bool isALink(unsigned long attributes, unsigned long reparseTag);
