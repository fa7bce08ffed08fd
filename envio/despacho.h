#pragma once
// What the dispatch worker asks of the owner of the records: the worker paces one gateway (its
// cycle, the schedule, the wait before a retry) and moves its connection; which record goes next
// and what each reply means for it are the owner's. Called from the worker's thread; the owner
// guards its records with its own lock.

#include "gateway/registro_sms.h"

#include <functional>

class Despacho
{
public:
    // Hands a record to the connection; false when the link would not take it.
    using Entrega = std::function<bool(const registro_sms &registro)>;

    virtual ~Despacho() = default;

    // Settles what the last reply left (a record to mark, received messages to count). False when
    // that could not be done: nothing new goes out until it is.
    virtual bool completarPendiente() = 0;
    // Once a turn, paused or not: what changed since the last turn reaches the disk.
    virtual void alGirar() = 0;
    // The next record to send, if any, given to `entrega` in one step with noting it in hand, so
    // that nothing can come between choosing it and handing it over. True when one was handed.
    virtual bool entregarSiguiente(const Entrega &entrega) = 0;
};
