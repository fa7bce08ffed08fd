#pragma once
// Reading and writing whole files in tests.

#include <QByteArray>
#include <QList>
#include <QString>

#include <string>

namespace archivos_prueba {

// The file's bytes; empty when it cannot be read.
QByteArray leer(const QString &ruta);
// Its lines without line ends (on Windows also CR LF ones); a final line end starts no other line.
QList<QByteArray> lineas(const QString &ruta);
// Writes (or appends) the bytes; a file that cannot be written fails the running test.
bool escribir(const QString &ruta, const QByteArray &bytes, bool anexar = false);
QByteArray bytes(const std::string &texto);
// `texto` with its line ends as the program writes a data file's on this platform
// (archivos_datos::kFinLinea: CR LF on Windows, where text files are written in text mode).
QByteArray conFinDeLinea(const QByteArray &texto);

} // namespace archivos_prueba
