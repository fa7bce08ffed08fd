#pragma once
// Opt-outs ("bajas"): people who asked not to be written to any more. One rule says when two
// numbers are the same person's, whatever way they were written: their digits only, compared on
// the last N of them (N from the settings, 7 to 15). Opt-outs, the history's number searches and
// the replies' context all use it; stored numbers are never rewritten. A received message asks
// for an opt-out when its text, folded (case, accents, spaces, the punctuation around it), is one
// of the configured words. Pure functions and a set, Qt Core only.

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace bajas {

inline constexpr int kDigitosMinimo = 7;
inline constexpr int kDigitosMaximo = 15;

// The ASCII digits of a number as written, in order: "+54 9 11 4567-8902" -> "5491145678902".
QString digitos(QStringView numero);
// The compare form: the last `n` digits (all of them when there are fewer); empty when the number
// has no digit, and then it is nobody's.
QString claveNumero(QStringView numero, int n);
bool mismoNumero(QStringView a, QStringView b, int n);
// An outbox line's number field (its second), in place: [desde, hasta). False when the line has
// fewer than three fields.
bool campoNumero(const char *linea, int largo, const char *&desde, const char *&hasta);
// The digits in reverse order: the history indexes them so, and a number's last digits become
// the start of a text an index can find.
QString invertido(QStringView digitos);
// A search typed by the operator: when it reads as a number (digits and the characters numbers
// are written with: spaces, "+", "-", ".", "/", parentheses), its last `n` digits, which the
// numbers searched must end with; empty when it does not.
QString digitosBuscados(QStringView texto, int n);

// The text as the words are compared: trimmed of spaces and of the punctuation around it, inner
// spaces as one, accents dropped, case folded. "  ¡No  Más! " -> "no mas".
QString plegar(QStringView texto);
// The configured words ("BAJA, STOP, NO ENVIAR, NO MAS"), folded, empty ones dropped: an empty
// setting turns automatic opt-outs off.
QStringList palabras(const QString &ajuste);
// The message is an opt-out request: its folded text is one of `palabrasPlegadas`.
bool pideBaja(QStringView mensaje, const QStringList &palabrasPlegadas);

// The numbers of an opt-out list file's lines: a CSV file (separator ";", TAB or ",", as the
// first line shows) whose number column is named "Número", "Celular", "Teléfono" or "Móvil" in a
// header line, or else is the first column holding a number; or one number a line. A cell is a
// number as lists' numbers are (limpiarNumero; a spreadsheet's leading apostrophe dropped), and
// kept as written. Lines without one are counted in `ignoradas`.
QStringList numerosDeLista(const QStringList &lineas, int &ignoradas);

// The numbers on the list, by their compare form, for the check before every send: no allocation
// and no text built per check, so that it costs next to nothing however long the list is.
class Lista
{
public:
    explicit Lista(int digitos = 10);
    int digitos() const { return m_digitos; }
    int cantidad() const { return int(m_claves.size()); }
    void vaciar() { m_claves.clear(); }
    // False when the number has no digit or is on the list already.
    bool agregar(QStringView numero);
    // Takes the number (its compare form) off the list.
    void quitar(QStringView numero);
    bool contiene(QStringView numero) const;
    // The number field (the second) of an outbox line "e,numero,fecha,mensaje" (UTF-8) is on the list.
    bool contieneLinea(const char *linea, int largo) const;

private:
    QSet<quint64> m_claves;
    int m_digitos;
};

} // namespace bajas
