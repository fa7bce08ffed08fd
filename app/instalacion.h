#pragma once
// Where the program finds the files it reads but does not compile in, wherever it was put: run
// from its build folder or a Windows folder (beside the executable), or installed under any
// prefix (the data folder relative to the executable, then the prefix set at build time).

#include <QString>
#include <QStringList>

namespace instalacion {

// The places of the help page "ayuda/ayuda_home.html", in the order they are tried.
QStringList lugaresAyuda(const QString &carpetaPrograma);

// The first of those places that holds the file; empty when none does.
QString paginaAyuda(const QString &carpetaPrograma);

} // namespace instalacion
