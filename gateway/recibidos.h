#pragma once
// The received-messages file: one CSV line per message the gateway hands out, appended and
// never read back here.

#include <QList>
#include <QString>

class registro_sms;

namespace recibidos {

// A field between double quotes; a double quote inside it is doubled and every control
// character but TAB (NUL, a bare CR...) becomes a space, so that the file stays valid CSV for
// the spreadsheets and tools that read it.
QString campoCsv(const QString &campo);

// "fecha","numero","mensaje" without line end.
QString lineaRecibido(const QString &fecha, const QString &numero, const QString &mensaje);

// Path of the file: the stored `str_folder_inbox`, or "sms_recibidos.csv" in the data folder
// when the key is absent or still holds the not-configured marker. Read anew on every call.
QString rutaArchivo();

// "sms_recibidos.csv" in the data folder: where messages go when the chosen file fails.
QString rutaPorDefecto();

// Appends the record's line and a line end (text mode, UTF-8) to `ruta`, and says truthfully
// whether it is there: written and flushed, or false with the file as it was (a full disk
// leaves no partial line). The folder is not created.
bool guardar(const registro_sms &registro, const QString &ruta);
// The same, to rutaArchivo().
bool guardar(const registro_sms &registro);

struct Guardado
{
    int guardados = 0; // the first this many messages are stored, in order
    int enDefecto = 0; // of them, those that went to `rutaDefecto`
};
// Each message in order to `ruta`, or failing that to `rutaDefecto`; stops at the first one
// that fits in neither, so that what is left keeps its order.
Guardado guardarEnOrden(const QList<registro_sms> &mensajes, const QString &ruta, const QString &rutaDefecto);

} // namespace recibidos
