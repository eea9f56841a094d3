#include "CApplication.h"

#include "MW21EventPump.h"

#include <glib.h>

namespace
{
gboolean timerAction(gpointer)
{
    MW21_PumpEvents();
    return G_SOURCE_CONTINUE;
}
} // namespace

CApplication::CApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    m_timerSource = g_timeout_add(1, &timerAction, nullptr);
}

CApplication::~CApplication()
{
    if (m_timerSource)
        g_source_remove(m_timerSource);
    m_timerSource = 0;
}
