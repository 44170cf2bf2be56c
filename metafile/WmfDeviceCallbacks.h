#pragma once

// The function references libwmf calls while it plays a metafile, each recording into
// the WmfDevice behind the handle. LibwmfPlayer installs them.

#include "metafile/WmfDevice.h"

namespace metafile::detail {

// Session and drawing primitives (WmfDeviceShapes.cpp).
void deviceOpen(wmfAPI*);
void deviceClose(wmfAPI*);
void deviceBegin(wmfAPI* api);
void deviceEnd(wmfAPI*);
void floodFill(wmfAPI*, wmfFlood_t*);
void drawPixel(wmfAPI* api, wmfDrawPixel_t* px);
void drawArc(wmfAPI* api, wmfDrawArc_t* a);
void drawPie(wmfAPI* api, wmfDrawArc_t* a);
void drawChord(wmfAPI* api, wmfDrawArc_t* a);
void drawEllipse(wmfAPI* api, wmfDrawArc_t* a);
void drawLine(wmfAPI* api, wmfDrawLine_t* l);
void polyLine(wmfAPI* api, wmfPolyLine_t* pl);
void drawPolygon(wmfAPI* api, wmfPolyLine_t* pl);
void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* pp);
void drawRectangle(wmfAPI* api, wmfDrawRectangle_t* rc);
void ropDraw(wmfAPI* api, wmfROP_Draw_t* rop);

// Bitmaps, regions and user data (WmfDeviceBitmaps.cpp).
void bmpRead(wmfAPI*, wmfBMP_Read_t* read);
void bmpFree(wmfAPI*, wmfBMP* bmp);
void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* draw);
void udataNoop(wmfAPI*, wmfUserData_t*);
void regionFrame(wmfAPI* api, wmfPolyRectangle_t* pr);
void regionPaint(wmfAPI* api, wmfPolyRectangle_t* pr);
void regionClip(wmfAPI* api, wmfPolyRectangle_t* pr);

// Text and fonts (WmfDeviceText.cpp).
void drawText(wmfAPI* api, wmfDrawText_t* t);
void fontMap(wmfAPI* api, wmfFont* font);
float stringWidth(wmfAPI*, wmfFont*, char* str);

} // namespace metafile::detail
