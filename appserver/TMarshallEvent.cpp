#include "TMarshallEvent.h"

#include <QString>

TMarshallEvent::TMarshallEvent(QObject* object, FnObject callback)
    : QEvent(QEvent::Type(TypeObject)), m_object(object)
{
    m_callback.object = callback;
}

TMarshallEvent::TMarshallEvent(QObject* object, FnInt callback, int a1)
    : QEvent(QEvent::Type(TypeInt)), m_object(object), m_int1(a1)
{
    m_callback.intArg = callback;
}

TMarshallEvent::TMarshallEvent(QObject* object, FnULong callback, unsigned long a1)
    : QEvent(QEvent::Type(TypeULong)), m_object(object), m_ulong1(a1)
{
    m_callback.ulongArg = callback;
}

TMarshallEvent::TMarshallEvent(QObject* object, FnObjectObject callback, QObject* other)
    : QEvent(QEvent::Type(TypeObjectObject)), m_object(object), m_other(new QPointer<QObject>(other))
{
    m_callback.objectArg = callback;
}

TMarshallEvent::TMarshallEvent(QObject* object, FnInt3 callback, int a1, int a2, int a3)
    : QEvent(QEvent::Type(TypeInt3)), m_object(object), m_int1(a1), m_int2(a2), m_int3(a3)
{
    m_callback.int3Args = callback;
}

TMarshallEvent::TMarshallEvent(QObject* object, FnString callback, QString* string)
    : QEvent(QEvent::Type(TypeString)), m_object(object), m_string(string)
{
    m_callback.stringArg = callback;
}

TMarshallEvent::~TMarshallEvent()
{
    delete m_other;
    delete m_string;
}

void TMarshallEvent::process()
{
    QObject* object = m_object.data();
    switch (int(type())) {
    case TypeObject:
        if (m_callback.object)
            m_callback.object(object);
        break;
    case TypeInt:
        if (m_callback.intArg)
            m_callback.intArg(object, m_int1);
        break;
    case TypeULong:
        if (m_callback.ulongArg)
            m_callback.ulongArg(object, m_ulong1);
        break;
    case TypeObjectObject:
        if (m_callback.objectArg)
            m_callback.objectArg(object, m_other ? m_other->data() : nullptr);
        break;
    case TypeInt3:
        if (m_callback.int3Args)
            m_callback.int3Args(object, m_int1, m_int2, m_int3);
        break;
    case TypeString:
        if (m_callback.stringArg)
            m_callback.stringArg(object, m_string);
        break;
    default:
        break;
    }
}
