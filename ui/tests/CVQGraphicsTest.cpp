#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "CVQGraphics.h"
#include "CVQPen.h"
#include "CVQSolidBrush.h"
#include "LogCapture.h"
#include "VKLog.h"
#include "VQResource.h"

namespace {

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override { VQSetResourceModule(GetModuleHandleA(nullptr)); }
    void TearDown() override { VQSetResourceModule(nullptr); }

    // Pixels of the canvas for which pick(colour) holds, inside (or outside) a box.
    template <class Pick>
    static int Count(CVQGraphics& g, Pick pick, RECT box = {0, 0, 100000, 100000}, bool inside = true) {
        int width = 0, height = 0, n = 0;
        g.GetWidth(&width);
        g.GetHeight(&height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                bool in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                uint32_t c = 0;
                g.GetPixel(x, y, &c);
                if (in == inside && pick(c)) ++n;
            }
        return n;
    }
};

}  // namespace

TEST_F(CanvasTest, EmptyCanvasRefusesEverything) {
    CVQGraphics g;
    EXPECT_EQ(1, g.IsDirty());
    int w = 0;
    uint32_t c = 0;
    CVQSolidBrush brush;
    CVQPen pen;
    EXPECT_EQ(E_FAIL, g.GetWidth(&w));
    EXPECT_EQ(E_FAIL, g.Fill(0));
    EXPECT_EQ(E_FAIL, g.GetPixel(0, 0, &c));
    EXPECT_EQ(E_FAIL, g.SetPixel(0, 0, 0));
    EXPECT_EQ(E_FAIL, g.FillRectangle(&brush, 0, 0, 5, 5));
    EXPECT_EQ(E_FAIL, g.DrawLine(&pen, 0, 0, 5, 5));
    EXPECT_EQ(E_FAIL, g.DrawText(0, 0, 10, 10, "x", 0));
    EXPECT_EQ(E_FAIL, g.SetFont("Arial", 8, 0, 400, 0, 0));
    EXPECT_EQ(0, g.DibWidth());
    EXPECT_EQ(E_FAIL, g.CreateCanvas(0, 10, 0));
    EXPECT_EQ(E_FAIL, g.CreateCanvas(100000, 100000, 0));  // absurd: refused, not attempted
}

TEST_F(CanvasTest, CanvasPixelsAndView) {
    CVQGraphics g;
    ASSERT_EQ(S_OK, g.CreateCanvas(40, 30, 0x80102030));
    int w = 0, h = 0;
    EXPECT_EQ(S_OK, g.GetWidth(&w));
    EXPECT_EQ(S_OK, g.GetHeight(&h));
    EXPECT_EQ(40, w);
    EXPECT_EQ(30, h);
    EXPECT_EQ(40, g.DibWidth());
    EXPECT_EQ(30, g.DibHeight());

    uint32_t c = 0;
    EXPECT_EQ(S_OK, g.GetPixel(39, 29, &c));
    EXPECT_EQ(0x80102030u, c);
    EXPECT_EQ(E_FAIL, g.GetPixel(40, 0, &c));
    EXPECT_EQ(E_FAIL, g.GetPixel(0, 30, &c));
    EXPECT_EQ(E_FAIL, g.GetPixel(-1, 0, &c));
    EXPECT_EQ(E_FAIL, g.SetPixel(0, -1, 0));

    // The view runs top-down: row 0 is the top row, the last one in memory.
    g.SetDirty(0);
    ASSERT_EQ(S_OK, g.SetPixel(3, 0, 0xFFAABBCC));
    EXPECT_EQ(1, g.IsDirty());
    CVKPixels* view = nullptr;
    ASSERT_EQ(S_OK, g.GetPixels(&view));
    EXPECT_EQ(64u, view->Layout());
    EXPECT_EQ(0xFFAABBCCu, view->GetPixel(3, 0));
    EXPECT_EQ(GetPixel(g.DC(), 3, 0) & 0xFFFFFF, 0x00CCBBAAu);  // GDI agrees: (3, 0) is at the top

    // Same size again keeps the bitmap and refills it.
    uint8_t* data = view->Data();
    ASSERT_EQ(S_OK, g.CreateCanvas(40, 30, 0x00000000));
    ASSERT_EQ(S_OK, g.GetPixels(&view));
    EXPECT_EQ(data, view->Data());
    EXPECT_EQ(0u, view->GetPixel(3, 0));
    ASSERT_EQ(S_OK, g.CreateCanvas(20, 10, 0xFF000000));
    EXPECT_EQ(20, g.DibWidth());
    ASSERT_EQ(S_OK, g.GetPixels(&view));
    EXPECT_EQ(20u, view->Width());
    EXPECT_EQ(0xFF000000u, view->GetPixel(19, 9));
}

TEST_F(CanvasTest, ShapesAreOpaqueAndLeaveOtherAlpha) {
    CVQGraphics g;
    ASSERT_EQ(S_OK, g.CreateCanvas(60, 40, 0x00000000));
    CVQSolidBrush blue(0xFF0000FF);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(blue.Handle()));
    LOGBRUSH lb;
    ASSERT_TRUE(GetObjectA(blue.Handle(), sizeof(lb), &lb));
    EXPECT_EQ(0x00FF0000u, lb.lbColor);

    ASSERT_EQ(S_OK, g.FillRectangle(&blue, 10, 5, 20, 10));
    // Inside: opaque blue; with the null pen GDI leaves out the last column and row.
    RECT box = {10, 5, 29, 14};
    EXPECT_EQ(19 * 9, Count(
                          g, [](uint32_t c) { return c == 0xFF0000FF; }, box));
    EXPECT_EQ(0, Count(
                     g, [](uint32_t c) { return c != 0; }, box, false));

    // A pen draws only the outline, in the pen's colour, and the filling stays.
    CVQPen red(PS_SOLID, 1, 0xFFFF0000);
    ASSERT_EQ(S_OK, g.DrawRectangle(&red, 35, 5, 20, 20));
    EXPECT_EQ(76, Count(g, [](uint32_t c) { return c == 0xFFFF0000; }));
    uint32_t c = 1;
    g.GetPixel(45, 15, &c);
    EXPECT_EQ(0u, c);

    // Filled ellipse: centre coloured, bounding-box corner not.
    CVQSolidBrush green(0x8000FF00);
    ASSERT_EQ(S_OK, g.FillEllipse(&green, 0, 20, 20, 20));
    g.GetPixel(10, 30, &c);
    EXPECT_EQ(0xFF00FF00u, c);  // the brush's alpha is dropped; drawn pixels end opaque
    g.GetPixel(0, 20, &c);
    EXPECT_EQ(0u, c);

    // A line from (0, 0) to (9, 0) colours the first nine pixels.
    CVQPen white(PS_SOLID, 1, 0xFFFFFFFF);
    ASSERT_EQ(S_OK, g.DrawLine(&white, 0, 0, 9, 0));
    EXPECT_EQ(9, Count(g, [](uint32_t c) { return c == 0xFFFFFFFF; }, {0, 0, 60, 1}));

    // Pixels untouched by a shape keep their alpha, whatever it is.
    ASSERT_EQ(S_OK, g.CreateCanvas(8, 8, 0x40123456));
    ASSERT_EQ(S_OK, g.FillRectangle(&blue, 0, 0, 3, 3));
    g.GetPixel(7, 7, &c);
    EXPECT_EQ(0x40123456u, c);
    g.GetPixel(0, 0, &c);
    EXPECT_EQ(0xFF0000FFu, c);
}

TEST_F(CanvasTest, ToolsWithoutGdiObjectFailAndLeaveDirtyAlone) {
    CVQGraphics g;
    ASSERT_EQ(S_OK, g.CreateCanvas(10, 10, 0));
    g.SetDirty(0);
    CVQPen broken(PS_SOLID, 1, 0);
    CVQGdiTool empty;
    EXPECT_EQ(E_FAIL, g.FillRectangle(&empty, 0, 0, 5, 5));
    EXPECT_EQ(E_FAIL, g.DrawEllipse(nullptr, 0, 0, 5, 5));
    EXPECT_EQ(E_FAIL, g.DrawLine(nullptr, 0, 0, 5, 5));
    EXPECT_EQ(0, g.IsDirty());
    EXPECT_EQ(0, Count(g, [](uint32_t c) { return c != 0; }));
    // A tool can be deleted after drawing: the canvas never keeps it selected.
    {
        CVQSolidBrush brush(0xFFFFFFFF);
        ASSERT_EQ(S_OK, g.FillRectangle(&brush, 0, 0, 5, 5));
        EXPECT_NE(brush.Handle(), GetCurrentObject(g.DC(), OBJ_BRUSH));
    }
    EXPECT_EQ(GetStockObject(NULL_BRUSH), GetCurrentObject(g.DC(), OBJ_BRUSH));
}

TEST_F(CanvasTest, BlitCopiesAndStretches) {
    CVQGraphics source, target;
    ASSERT_EQ(S_OK, source.CreateCanvas(4, 4, 0xFF112233));
    source.SetPixel(0, 0, 0xFFFFFFFF);
    ASSERT_EQ(S_OK, target.CreateCanvas(20, 20, 0xFF000000));
    target.SetDirty(0);
    ASSERT_EQ(S_OK, target.Blit(2, 3, 4, 4, &source, 0, 0, 4, 4));
    EXPECT_EQ(1, target.IsDirty());
    uint32_t c = 0;
    target.GetPixel(2, 3, &c);
    EXPECT_EQ(0xFFFFFFu, c & 0xFFFFFF);
    target.GetPixel(5, 6, &c);
    EXPECT_EQ(0x112233u, c & 0xFFFFFF);
    target.GetPixel(6, 7, &c);
    EXPECT_EQ(0xFF000000u, c);
    // Stretched twice: the white corner becomes 2 x 2.
    ASSERT_EQ(S_OK, target.Blit(10, 10, 8, 8, &source, 0, 0, 4, 4));
    EXPECT_EQ(4 + 1, Count(target, [](uint32_t c) { return (c & 0xFFFFFF) == 0xFFFFFF; }));
    CVQGraphics empty;
    EXPECT_EQ(E_FAIL, target.Blit(0, 0, 4, 4, &empty, 0, 0, 4, 4));
    EXPECT_EQ(E_FAIL, target.Blit(0, 0, 4, 4, nullptr, 0, 0, 4, 4));
}

TEST_F(CanvasTest, TextInItsBoxAndColour) {
    CVQGraphics g;
    ASSERT_EQ(S_OK, g.CreateCanvas(200, 40, 0xFFFFFFFF));
    ASSERT_EQ(S_OK, g.SetFont("Arial", 8, 0x000000FF, 700, 0, 0));  // COLORREF red
    char face[LF_FACESIZE] = {};
    GetTextFaceA(g.DC(), sizeof(face), face);
    EXPECT_STREQ("Arial", face);
    TEXTMETRICA metrics;
    ASSERT_TRUE(GetTextMetricsA(g.DC(), &metrics));
    EXPECT_EQ(11, metrics.tmHeight - metrics.tmInternalLeading);  // 8 points at 96 dpi

    g.SetDirty(0);
    ASSERT_EQ(S_OK, g.DrawText(10, 5, 100, 16, "Sign In", DT_SINGLELINE));
    EXPECT_EQ(1, g.IsDirty());
    RECT box = {10, 5, 110, 21};
    // Text pixels come out in the text colour with alpha 0 (text does not flip alpha).
    int ink = Count(
        g, [](uint32_t c) { return c == 0x00FF0000; }, box);
    EXPECT_GT(ink, 40);
    EXPECT_LT(ink, 400);
    EXPECT_EQ(0, Count(
                     g, [](uint32_t c) { return c != 0xFFFFFFFF; }, box, false));

    // A second font replaces the first (the old one is deleted, not leaked or left selected).
    HGDIOBJ first = GetCurrentObject(g.DC(), OBJ_FONT);
    ASSERT_EQ(S_OK, g.SetFont("Arial", 7, 0x00000000, 400, 0, 0));
    EXPECT_NE(first, GetCurrentObject(g.DC(), OBJ_FONT));
    EXPECT_EQ(0, GetObjectType(first));

    EXPECT_EQ(E_FAIL, g.DrawText(0, 0, 10, 10, nullptr, 0));

    // The caller's text is never rewritten, even when asked for a modified ellipsis.
    char text[] = "a rather long file name.rec";
    ASSERT_EQ(S_OK, g.DrawText(0, 0, 30, 16, text, DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING));
    EXPECT_STREQ("a rather long file name.rec", text);
}

TEST_F(CanvasTest, ImpossibleSizesKeepTheCanvas) {
    CVQGraphics g;
    ASSERT_EQ(S_OK, g.CreateCanvas(6, 4, 0xFF0000FF));
    for (auto size : {std::pair<int, int>{100000, 100000}, {-1, 4}, {6, 0}, {0x7FFFFFFF, 2}}) {
        EXPECT_EQ(E_FAIL, g.CreateCanvas(size.first, size.second, 0)) << size.first << "x" << size.second;
        EXPECT_EQ(6, g.DibWidth());
        uint32_t c = 0;
        EXPECT_EQ(S_OK, g.GetPixel(5, 3, &c));
        EXPECT_EQ(0xFF0000FFu, c);
    }
}

TEST_F(CanvasTest, FontsPensAndBitmapsAreDeleted) {
    HGDIOBJ font = nullptr, pen = nullptr, bitmap = nullptr, oldBitmap = nullptr;
    {
        CVQGraphics g;
        ASSERT_EQ(S_OK, g.CreateCanvas(16, 16, 0));
        oldBitmap = GetCurrentObject(g.DC(), OBJ_BITMAP);
        ASSERT_EQ(S_OK, g.SetFont("Arial", 8, 0, 400, 0, 0));
        ASSERT_EQ(S_OK, g.CreateCanvas(20, 16, 0));  // a new size: a new bitmap and context
        EXPECT_EQ(0u, GetObjectType(oldBitmap));
        font = GetCurrentObject(g.DC(), OBJ_FONT);
        pen = GetCurrentObject(g.DC(), OBJ_PEN);
        bitmap = GetCurrentObject(g.DC(), OBJ_BITMAP);
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));  // the font moved to the new context
        EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), GetObjectType(pen));
    }
    EXPECT_EQ(0u, GetObjectType(font));
    if (pen != GetStockObject(NULL_PEN)) {  // GDI may hand out its stock null pen, which lives on
        EXPECT_EQ(0u, GetObjectType(pen));
    }
    EXPECT_EQ(0u, GetObjectType(bitmap));
}

TEST_F(CanvasTest, DataTextDrawsEveryAmpersand) {
    auto inkColumns = [](bool data) {
        CVQGraphics g;
        EXPECT_EQ(S_OK, g.CreateCanvas(200, 20, 0xFFFFFFFF));
        EXPECT_EQ(S_OK, g.SetFont("Arial", 8, 0, 400, 0, 0));
        const char* text = "&&&&a&b";
        EXPECT_EQ(S_OK, data ? g.DrawDataText(0, 0, 200, 20, text, DT_SINGLELINE)
                             : g.DrawText(0, 0, 200, 20, text, DT_SINGLELINE));
        int last = 0;
        for (int x = 0; x < 200; ++x)
            for (int y = 0; y < 20; ++y) {
                uint32_t c = 0;
                g.GetPixel(x, y, &c);
                if ((c & 0xFFFFFF) != 0xFFFFFF) last = x;
            }
        return last;
    };
    int caption = inkColumns(false);  // "&&" is one "&", "&b" an underlined b: "&&ab"
    int data = inkColumns(true);      // all seven characters
    EXPECT_GT(caption, 10);
    EXPECT_GT(data, caption + 15);
}

TEST_F(CanvasTest, EveryPictureLoadsAtItsSize) {
    struct {
        int first, last, width, height;
    } pictures[] = {{4096, 4096, 106, 34}, {4097, 4097, 8, 7},   {4098, 4098, 12, 11}, {4099, 4099, 30, 36},
                    {4100, 4100, 30, 31},  {4101, 4101, 30, 36}, {4102, 4102, 1, 21},  {4103, 4104, 22, 35},
                    {4105, 4106, 30, 35},  {4107, 4115, 17, 13}, {4116, 4117, 38, 40}, {4118, 4119, 19, 30},
                    {4120, 4123, 27, 34},  {4124, 4124, 13, 13}, {4125, 4127, 14, 14}, {4128, 4129, 85, 17},
                    {4130, 4131, 20, 30},  {4132, 4135, 30, 30}, {4136, 4137, 29, 32}, {4138, 4138, 491, 121},
                    {4300, 4302, 14, 14},  {4303, 4306, 15, 11}, {4307, 4307, 47, 38}, {4500, 4500, 396, 183},
                    {4501, 4501, 16, 16},  {4502, 4502, 18, 17}};
    for (auto p : pictures)
        for (int id = p.first; id <= p.last; ++id) {
            CVQGraphics g;
            ASSERT_EQ(S_OK, g.LoadResourceImage(id)) << id;
            int w = 0, h = 0;
            g.GetWidth(&w);
            g.GetHeight(&h);
            EXPECT_EQ(p.width, w) << id;
            EXPECT_EQ(p.height, h) << id;
            EXPECT_EQ(1, g.IsDirty());
            // RGB pictures come out opaque; only the logo has an alpha channel.
            int transparent = Count(g, [](uint32_t c) { return (c >> 24) != 255; });
            if (id == 4096)
                EXPECT_GT(transparent, 0);
            else
                EXPECT_EQ(0, transparent) << id;
        }
    // The logo's rounded corner is transparent, its middle opaque enough.
    CVQGraphics logo;
    ASSERT_EQ(S_OK, logo.LoadResourceImage(4096));
    uint32_t c = 0;
    logo.GetPixel(0, 0, &c);
    EXPECT_EQ(0u, c >> 24);
    logo.GetPixel(53, 17, &c);
    EXPECT_GE(c >> 24, 200u);
}

TEST_F(CanvasTest, UnusablePicturesLeaveTheCanvasAlone) {
    CVQGraphics g;
    LogCapture log;
    ASSERT_EQ(S_OK, g.CreateCanvas(5, 5, 0xFF445566));
    for (int id : {9001, 9002, 9003, 12345}) {  // grey + alpha, cut short, 100000 x 100000, missing
        g.SetDirty(0);
        EXPECT_EQ(E_FAIL, g.LoadResourceImage(id)) << id;
        EXPECT_EQ(5, g.DibWidth()) << id;
        EXPECT_EQ(0, g.IsDirty()) << id;
        EXPECT_EQ(0, Count(g, [](uint32_t c) { return c != 0xFF445566; })) << id;
    }
    EXPECT_EQ("CVQGraphics::Create(): Illegal number of components!\n", log.text);

    // A palette picture with transparency keeps its alpha; grey comes out grey and opaque.
    ASSERT_EQ(S_OK, g.LoadResourceImage(9004));
    uint32_t c = 0;
    g.GetPixel(2, 0, &c);
    EXPECT_EQ(0xFF0000FFu, c);  // third entry: blue, opaque
    g.GetPixel(1, 0, &c);
    EXPECT_EQ(0x8000FF00u, c);  // second entry: green, alpha 128
    g.GetPixel(2, 1, &c);
    EXPECT_EQ(0xFFFF0000u, c);
    ASSERT_EQ(S_OK, g.LoadResourceImage(9005));
    g.GetPixel(1, 1, &c);
    EXPECT_EQ(0xFF404040u, c);
}
