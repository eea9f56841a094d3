#pragma once
// The library is built with hidden visibility; only what carries this macro is exported.

#include <QtCore/qglobal.h>

#define MWSERVER_EXPORT Q_DECL_EXPORT
