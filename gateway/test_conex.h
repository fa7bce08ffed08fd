#pragma once
// The small modal dialog that follows a connection check every 100 ms and tells in one line
// whether the gateway answered, and if not, what to check. It only reads the connection.

#include <QDialog>

class QTimer;
class conexion_ngw;

namespace Ui {
class test_conex;
}

class test_conex : public QDialog
{
    Q_OBJECT

public:
    explicit test_conex(QWidget *parent = nullptr);
    ~test_conex() override;

    // Keeps the connection to watch (not owned) and shows its present state once.
    void iniciar(conexion_ngw *conexionVigilada);
    // Starts the 100 ms poll and runs the dialog modally; returns when it closes.
    int ejecutar();
    // The first half of ejecutar: creates and starts `timerConexion`.
    void arrancarPoleo();

    Ui::test_conex *ui;
    conexion_ngw *conexion = nullptr;
    QTimer *timerConexion = nullptr;

    static constexpr int kIntervaloMs = 100;

private slots:
    void on_pushOk_clicked();
    void PoleoConexion();
};
