#pragma once
// Rules of adding a list to the outbox that need no window: which run to make, the texts the
// operator is shown, which rows can become a record, and taking a processed list away from the
// watched path.

#include <QString>

namespace lista {
enum class Lectura;
}

namespace corrida_lista {

enum class Modo {
    Vigilada, // the watch is on: no questions, the list moves to the backup path afterwards
    Armado,   // the box is ticked, the watch not yet on: process, then switch the watch on
    Simple,   // a one-time import
};

Modo elegirModo(bool vigilanciaActiva, bool casillaMarcada);

// The confirmation question after the counting pass, for `mensajes` messages to be queued; it
// asks "de todos modos" when messages are cut or miss a mandatory field, or `otrosAvisos`.
QString textoConfirmacion(int truncados, int faltaObligatorio, int mensajes, bool otrosAvisos = false);

// The report after the writing pass ("SMSs" in the plain run, "SMS" in the arming run), with the
// rows that went to the errors file at `rutaErrores`, if any did.
QString textoReporte(int agregados, Modo modo, int aErrores = 0, const QString &rutaErrores = QString());

// Why a list that was read as `lectura` is refused for good (not a regular file, too large, a
// line too long); empty when it is not.
QString textoListaRechazada(lista::Lectura lectura, const QString &ruta);

// What the operator is told when the writing pass of a watched or arming run stopped on a write
// failure (`causa`): the list stays where it is and the watch is off.
QString textoEscrituraDetenida(const QString &causa, const QString &rutaLista, int agregados, Modo modo);

// What the operator is told of a run cut short and now finished: `hechas` rows had been done
// before, `agregados` records were added and `aErrores` rows went to the errors file in all.
QString textoCorridaCompletada(const QString &rutaLista, int hechas, int agregados, int aErrores,
                               const QString &rutaErrores);

// Moves the processed list to the backup path, replacing the previous backup. A rename that
// cannot be done (another volume, no permission) falls back to copy-then-remove. Returns true
// when nothing is left at the list path, so the list can never be imported twice.
bool apartarLista(const QString &rutaLista, const QString &rutaBackup);

} // namespace corrida_lista
