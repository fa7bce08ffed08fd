#pragma once
// The list format dialog: separator, header line and quotes. It reads the stored format when it
// opens and again when cancelled, and stores it when accepted.

#include <QDialog>

namespace Ui {
class cfg_lista;
}

class cfg_lista : public QDialog
{
    Q_OBJECT

public:
    explicit cfg_lista(QWidget *parent = nullptr);
    ~cfg_lista() override;

    Ui::cfg_lista *formulario() const { return m_ui; }

public slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();

private:
    // The stored flags into the boxes, with the defaults given for the quote box.
    void cargarAjustes(bool alCancelar);

    Ui::cfg_lista *m_ui;
};
