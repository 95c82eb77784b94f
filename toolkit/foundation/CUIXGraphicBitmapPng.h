// A bitmap filled from PNG data: every image becomes a 32-bit top-down DIB
// section in blue-green-red-alpha order, remembering whether it had alpha.
#pragma once
#include <afxwin.h>

class CUIXGraphicBitmapPng : public CBitmap {
public:
    CUIXGraphicBitmapPng() = default;

    BOOL LoadFromFile(LPCTSTR lpszFileName);
    BOOL LoadFromResource(HMODULE hModule, HRSRC hRes);
    BOOL LoadFromStream(CFile* pFile);
    BOOL IsAlpha() const { return m_bAlpha; }

    // The decoded image: rows of width x channels bytes, red first.
    struct Decoded {
        BYTE* pixels = nullptr; // malloc'd
        UINT width = 0;
        UINT height = 0;
        int channels = 0;
    };
    // Decodes without touching any bitmap; FALSE frees everything it made.
    static BOOL ReadPng(CFile* pFile, Decoded& out);
    static HBITMAP CreateDibFromRows(const Decoded& image);

private:
    BOOL m_bAlpha = FALSE;
};
