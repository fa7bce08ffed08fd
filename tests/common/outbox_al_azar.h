#pragma once
// An outbox in a temporary folder changed at random the ways the program and people change one:
// appends one by one and in batches, marks, the program's rewrites, another program's edits, the
// hold's entries and the day. For tests that compare what a reader that remembers the file sees
// with what a reader of the whole file sees.

#include "lista/archivos_datos.h"
#include "lista/outbox.h"
#include "lista/retencion.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

namespace outbox_al_azar {

// The pending records with their offsets and bytes.
inline QVector<outbox::RegistroPendiente> pendientes(const QString &ruta)
{
    QVector<outbox::RegistroPendiente> registros;
    outbox::leerPendientes(ruta, registros);
    return registros;
}

class OutboxAlAzar
{
public:
    explicit OutboxAlAzar(quint32 semilla) : m_azar(semilla) {}

    QString ruta;
    QDate hoy{2026, 6, 15};
    QVector<retencion::Entrada> entradas;
    unsigned version = 0;

    // A record as a list, a hand or a damaged file leaves one.
    void anexar()
    {
        static const char *const numeros[] = {"1140001111", "1140002222", "", "11&4000", "1140003333"};
        static const char *const mensajes[] = {"Hola", "Su cuota, vence", "texto &num=5", "Aviso"};
        const int cantidad = m_azar.bounded(1, 6);
        archivos_datos::AnexadorOutbox anexador(ruta);
        for (int i = 0; i < cantidad; ++i) {
            const QString numero = QString::fromLatin1(numeros[m_azar.bounded(5)]);
            const QString mensaje = QString::fromLatin1(mensajes[m_azar.bounded(4)]);
            if (m_azar.bounded(2))
                archivos_datos::agregarRegistroOutbox(ruta, numero, fecha(), mensaje);
            else
                anexador.acumular(numero, fecha(), mensaje);
        }
        anexador.vaciar();
    }

    QString fecha()
    {
        const int caso = m_azar.bounded(5);
        return caso == 0   ? QStringLiteral("--inmediato--")
               : caso == 1 ? QStringLiteral("31/02/2026")
                           : hoy.addDays(m_azar.bounded(-3, 6)).toString(QStringLiteral("dd/MM/yyyy"));
    }

    // Another program's edit: a character changed in place (and a line added), the first line taken
    // away, or the file put in its place; at a moment of its own, as a person's edit is.
    void editarAMano()
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const int caso = m_azar.bounded(4);
        const int i = m_azar.bounded(qMax(1, bytes.size()));
        if (caso <= 1 && i < bytes.size() && QByteArray("eE0123456").contains(bytes.at(i)))
            bytes[i] = bytes.at(i) == 'e' ? 'E' : bytes.at(i) == 'E' ? 'e' : char(bytes.at(i) + 1);
        if (caso == 1)
            bytes.append("e,1140009999," + hoy.toString(QStringLiteral("dd/MM/yyyy")).toLatin1() +
                         ",A mano\n");
        else if (caso == 2)
            bytes.remove(0, bytes.indexOf('\n') + 1);
        QVERIFY(f.resize(0) && f.write(bytes) == bytes.size());
        f.close();
        if (caso == 3) {
            QVERIFY(QFile::copy(ruta, ruta + QStringLiteral(".nuevo")));
            QVERIFY(archivos_datos::reemplazar(ruta + QStringLiteral(".nuevo"), ruta));
        }
        m_aMano = m_aMano.isValid() ? m_aMano.addSecs(1) : QDateTime(QDate(2001, 1, 1), QTime(0, 0));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(m_aMano, QFileDevice::FileModificationTime));
    }

    void cambiarRetencion()
    {
        const QVector<outbox::RegistroPendiente> lineas = pendientes(ruta);
        if (m_azar.bounded(3) == 0 && !entradas.isEmpty())
            entradas.remove(m_azar.bounded(entradas.size()));
        else if (m_azar.bounded(6) == 0)
            entradas.clear();
        else if (!lineas.isEmpty())
            entradas.append(
                {lineas.at(m_azar.bounded(lineas.size())).linea, retencion::Estado::EnDuda, {}, {}});
        ++version;
    }

    void reescribir()
    {
        const QString temporal = QFileInfo(ruta).absoluteDir().filePath(QStringLiteral("compactando.csv"));
        const QVector<outbox::RegistroPendiente> lineas = pendientes(ruta);
        switch (m_azar.bounded(3)) {
        case 0:
            outbox::compactar(ruta, temporal);
            break;
        case 1:
            if (!lineas.isEmpty()) {
                const outbox::RegistroPendiente &r = lineas.at(m_azar.bounded(lineas.size()));
                outbox::cancelar(ruta, temporal, {{r.posicion, r.linea}}, outbox::EnMano());
            }
            break;
        default:
            outbox::agregarPrimero(ruta, temporal, QStringLiteral("1140007777"), hoy.toString("dd/MM/yyyy"),
                                   QStringLiteral("Urgente"));
        }
    }

    // What the worker does with its choice: in flight, then sent (marked), failed or in doubt.
    void enviar(const outbox::Pendiente &p)
    {
        entradas.append({p.linea, retencion::Estado::EnVuelo, {}, {}});
        ++version;
        const int desenlace = m_azar.bounded(3);
        if (desenlace == 0)
            outbox::marcarEnviado(ruta, p.posicion, p.linea);
        if (desenlace != 2)
            entradas.removeLast();
        else
            entradas.last().estado = retencion::Estado::EnDuda;
        ++version;
    }

    // Marks a pending record sent, as the worker does.
    void marcar()
    {
        const QVector<outbox::RegistroPendiente> lineas = pendientes(ruta);
        if (!lineas.isEmpty()) {
            const outbox::RegistroPendiente &r = lineas.at(m_azar.bounded(lineas.size()));
            outbox::marcarEnviado(ruta, r.posicion, r.linea);
        }
    }

    int al(int n) { return m_azar.bounded(n); }

private:
    QRandomGenerator m_azar;
    QDateTime m_aMano;
};

} // namespace outbox_al_azar
