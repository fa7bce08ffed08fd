#pragma once
// What a list about to be added would repeat or change in time, for the question before it is
// written: rows whose number and message were already queued or sent lately (a list imported
// twice), rows dated in the past (they go out today), and how many go today and how many later.
// Nothing is refused: the operator decides.

#include <QDate>
#include <QSet>
#include <QString>

namespace lista {

// How long a queued or sent message counts as recent.
inline constexpr int kDiasRecientes = 7;

// The key of a message for `recientes`: two 32-bit hashes of its number and its text. Two
// different messages share one only by a chance too small to matter for a warning, and a million
// recent messages cost a few megabytes.
quint64 claveMensaje(const QString &numero, const QString &mensaje);

class GuardiaLista
{
public:
    // `recientes`: claveMensaje of the messages queued or sent in the last kDiasRecientes days.
    GuardiaLista(const QDate &hoy, QSet<quint64> recientes);

    // A row that becomes a record: its cleaned number, its date ("dd/MM/yyyy") and its message.
    void agregar(const QString &numero, const QString &fecha, const QString &mensaje);

    int repetidas() const { return m_repetidas; }
    int pasadas() const { return m_pasadas; }
    int paraHoy() const { return m_paraHoy; }
    int masAdelante() const { return m_masAdelante; }
    QDate ultimaFecha() const { return m_ultima; }

private:
    QDate m_hoy;
    QSet<quint64> m_recientes;
    int m_repetidas = 0;
    int m_pasadas = 0;
    int m_paraHoy = 0;
    int m_masAdelante = 0;
    QDate m_ultima;
};

// The lines of the question that tell it; empty when every row goes today and none repeats.
QString textoGuardia(const GuardiaLista &guardia);

} // namespace lista
