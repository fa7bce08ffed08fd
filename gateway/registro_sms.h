#pragma once
// One message: the outbox record being sent, or a message the gateway handed out.

#include <QString>

class registro_sms
{
public:
    QString numero;
    QString fecha;
    QString mensaje;

    // The line of the received-messages file: "fecha","numero","mensaje", each field between
    // double quotes with inner quotes doubled and control characters but TAB as spaces; no
    // line end.
    QString toStringInFile() const;
};
