#pragma once
// One-shot receiver of a marshalled call: it lives on the GUI thread, runs the one event it
// gets and deletes itself. Obtain it from CAppServer::MS().

#include "mwserver_export.h"

#include <QObject>

class MWSERVER_EXPORT CMarshallDispatcher : public QObject
{
public:
    CMarshallDispatcher();
    ~CMarshallDispatcher() override;

    // Runs a TMarshallEvent (types 1256..1261), then deletes this dispatcher whatever the
    // event was (the thread-change notice of its move to the GUI thread aside). Returns false when a marshalled call ran, true otherwise.
    bool event(QEvent* e) override;
};
