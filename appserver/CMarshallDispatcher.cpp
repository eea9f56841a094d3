#include "CMarshallDispatcher.h"

#include "TMarshallEvent.h"

CMarshallDispatcher::CMarshallDispatcher() = default;

CMarshallDispatcher::~CMarshallDispatcher() = default;

bool CMarshallDispatcher::event(QEvent* e)
{
    // moveToThread() onto the GUI thread announces itself with this event; it is not the
    // one event the dispatcher exists for.
    if (e && e->type() == QEvent::ThreadChange)
        return QObject::event(e);
    bool processed = false;
    if (e && TMarshallEvent::isMarshallType(int(e->type()))) {
        // The type range alone does not make it ours; another library may use these numbers.
        if (auto* marshalled = dynamic_cast<TMarshallEvent*>(e)) {
            marshalled->process();
            processed = true;
        }
    }
    delete this;
    return !processed;
}
