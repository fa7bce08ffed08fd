#pragma once
// The received-messages file: one CSV line per message the gateway hands out, appended and
// never read back here.

#include <QString>

class registro_sms;

namespace recibidos {

// A field between double quotes; a double quote inside it is doubled so that the file stays
// valid CSV for the spreadsheets that read it.
QString campoCsv(const QString &campo);

// "fecha","numero","mensaje" without line end.
QString lineaRecibido(const QString &fecha, const QString &numero, const QString &mensaje);

// Path of the file: the stored `str_folder_inbox`, or "sms_recibidos.csv" in the data folder
// when the key is absent or still holds the not-configured marker. Read anew on every call.
QString rutaArchivo();

// Appends the record's line and a line end (text mode, UTF-8) to `ruta`. The folder is not
// created: when the file cannot be opened the message is dropped and false is returned.
bool guardar(const registro_sms &registro, const QString &ruta);
// The same, to rutaArchivo().
bool guardar(const registro_sms &registro);

} // namespace recibidos
