#pragma once
// A call to run on the GUI thread: post it to CAppServer::MS() from any thread,
//   QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(obj, callback, ...));
// The event type tells the callback's signature. The object is guarded: the callback still
// runs if the object died before delivery, but gets null, so callbacks check their object.

#include "mwserver_export.h"

#include <QEvent>
#include <QPointer>

class QString;

class MWSERVER_EXPORT TMarshallEvent : public QEvent
{
public:
    enum : int {
        TypeObject = 1256,       // f(object)
        TypeInt = 1257,          // f(object, int)
        TypeULong = 1258,        // f(object, unsigned long)
        TypeObjectObject = 1259, // f(object, other object or null)
        TypeInt3 = 1260,         // f(object, int, int, int)
        TypeString = 1261,       // f(object, string owned by the event)
        FirstType = TypeObject,
        LastType = TypeString
    };

    using FnObject = void (*)(QObject*);
    using FnInt = void (*)(QObject*, int);
    using FnULong = void (*)(QObject*, unsigned long);
    using FnObjectObject = void (*)(QObject*, QObject*);
    using FnInt3 = void (*)(QObject*, int, int, int);
    using FnString = void (*)(QObject*, QString*);

    TMarshallEvent(QObject* object, FnObject callback);
    TMarshallEvent(QObject* object, FnInt callback, int a1);
    TMarshallEvent(QObject* object, FnULong callback, unsigned long a1);
    TMarshallEvent(QObject* object, FnObjectObject callback, QObject* other);
    TMarshallEvent(QObject* object, FnInt3 callback, int a1, int a2, int a3);
    // Takes ownership of the heap string, delivered or not.
    TMarshallEvent(QObject* object, FnString callback, QString* string);
    ~TMarshallEvent() override;

    TMarshallEvent(const TMarshallEvent&) = delete;
    TMarshallEvent& operator=(const TMarshallEvent&) = delete;

    static bool isMarshallType(int type) { return type >= FirstType && type <= LastType; }

    // Runs the callback with the stored arguments (GUI thread).
    void process();

    QObject* object() const { return m_object.data(); }

private:
    union Callback {
        FnObject object;
        FnInt intArg;
        FnULong ulongArg;
        FnObjectObject objectArg;
        FnInt3 int3Args;
        FnString stringArg;
    };

    QPointer<QObject> m_object;
    Callback m_callback;
    // Argument 1 in its own type so nothing is narrowed on LP64.
    int m_int1 = 0;
    unsigned long m_ulong1 = 0;
    QPointer<QObject>* m_other = nullptr; // 1259: own heap guard of the second object
    QString* m_string = nullptr;          // 1261: owned
    int m_int2 = 0;
    int m_int3 = 0;
};
