#pragma once
// One port usage a component advised: which Workspace port, under which name, the
// component's own number for the usage, and the direction the port was found in.

#include <kav/KAVTypes.h>

#include <QString>

#include <cstdint>

struct ClientAdvisedPort
{
    CFUUIDBytes portIdentity{};   // the Workspace port (bytes of its QUuid)
    QString name;                 // may be empty
    std::int32_t usageIndex = 0;
    std::int32_t direction = 0;   // 0 input, 1 output
};
