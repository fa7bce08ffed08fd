#pragma once
// The small modal dialog that follows a connection check every 100 ms and tells in one line
// whether the gateway answered, and if not, what to check. It only reads the connection, through
// whoever owns it.

#include <QDialog>
#include <QString>

#include <functional>

class QTimer;
class conexion_ngw;

namespace Ui {
class test_conex;
}

class test_conex : public QDialog
{
    Q_OBJECT

public:
    // What the dialog reads of the connection.
    struct Vista
    {
        int estado = -1;
        bool ocupado = false;
        QString ip;
        QString clave;
    };
    using Lectura = std::function<Vista()>;

    explicit test_conex(QWidget *parent = nullptr);
    ~test_conex() override;
    Q_DISABLE_COPY(test_conex)

    // Keeps the way to read the connection and shows its present state once.
    void iniciar(Lectura lectura);
    // The same for a connection read directly (not owned).
    void iniciar(const conexion_ngw *conexion);
    // Starts the 100 ms poll and runs the dialog modally; returns when it closes.
    int ejecutar();
    // The first half of ejecutar: creates and starts the poll's timer.
    void arrancarPoleo();

    Ui::test_conex *formulario() const { return m_ui; }
    QTimer *temporizador() const { return m_timerConexion; }

    static constexpr int kIntervaloMs = 100;

private slots:
    void on_pushOk_clicked();
    void PoleoConexion();

private:
    Ui::test_conex *m_ui;
    Lectura m_lectura;
    QTimer *m_timerConexion = nullptr;
};
