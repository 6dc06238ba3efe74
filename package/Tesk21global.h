#pragma once
// What the component package libTesk21.so exports: its classes and entry points
// carry TESK21_EXPORT; everything else in the library stays internal.

#include <QtGlobal>

#if defined(TESK21_LIBRARY)
#define TESK21_EXPORT Q_DECL_EXPORT
#else
#define TESK21_EXPORT Q_DECL_IMPORT
#endif
