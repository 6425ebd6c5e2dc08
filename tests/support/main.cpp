// The main of every test program: GDI+ and COM are ready for every test, as start-up makes them.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Both stay up until the process ends.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    return RUN_ALL_TESTS();
}
