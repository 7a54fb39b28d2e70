#include "CVQWindow.h"

CVQWindow::CVQWindow() : m_x(0), m_y(0), m_visible(false) {}

CVQWindow::~CVQWindow() {}

int CVQWindow::PrepareSurface() { return m_surface.Handle() != nullptr; }
