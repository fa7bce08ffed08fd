#pragma once
// Reading and writing whole files in tests.

#include <QByteArray>
#include <QList>
#include <QString>

#include <string>

namespace archivos_prueba {

// The file's bytes; empty when it cannot be read.
QByteArray leer(const QString &ruta);
// Its lines without line ends; a final line end starts no other line.
QList<QByteArray> lineas(const QString &ruta);
// Writes (or appends) the bytes; a file that cannot be written fails the running test.
bool escribir(const QString &ruta, const QByteArray &bytes, bool anexar = false);
QByteArray bytes(const std::string &texto);

} // namespace archivos_prueba
