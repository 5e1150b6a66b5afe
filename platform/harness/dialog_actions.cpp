#include "dialog_actions.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <sstream>

namespace platform {
namespace {

QString WithoutMnemonic(QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// The kind a dump names, or nothing for a widget no script deals with.
const char* KindOf(QWidget* widget) {
    if (qobject_cast<QCheckBox*>(widget)) return "check";
    if (qobject_cast<QRadioButton*>(widget)) return "radio";
    if (qobject_cast<QAbstractButton*>(widget)) return "button";
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget)) return "edit";
    if (qobject_cast<QAbstractSpinBox*>(widget)) return "spin";
    if (qobject_cast<QComboBox*>(widget)) return "combo";
    if (qobject_cast<QAbstractItemView*>(widget)) return "list";
    if (qobject_cast<QLabel*>(widget)) return "label";
    if (qobject_cast<QTabWidget*>(widget)) return "tab";
    if (qobject_cast<QAbstractSlider*>(widget)) return "slider";
    if (qobject_cast<QGroupBox*>(widget)) return "group";
    return nullptr;
}

// Named controls, and the unnamed texts (labels, groups) a person reads; Qt's own inner widgets
// are left out.
bool Dumped(QWidget* widget, const char* kind) {
    const QString name = widget->objectName();
    if (name.startsWith(QStringLiteral("qt_"))) return false;
    for (QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
        if (qobject_cast<QAbstractSpinBox*>(parent) || qobject_cast<QComboBox*>(parent)) return false;
    if (!name.isEmpty()) return true;
    return std::string(kind) == "label" || std::string(kind) == "group";
}

std::string Text(const QString& text) { return text.simplified().toStdString(); }

std::string CheckedField(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isCheckable())
        return button->isChecked() ? "1" : "0";
    if (auto* group = qobject_cast<QGroupBox*>(widget); group && group->isCheckable())
        return group->isChecked() ? "1" : "0";
    return "-";
}

std::string ValueText(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return Text(button->text());
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return Text(edit->text());
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) return Text(text->toPlainText());
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) return Text(spin->text());
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return Text(combo->currentText());
    if (auto* label = qobject_cast<QLabel*>(widget)) return Text(label->text());
    if (auto* tabs = qobject_cast<QTabWidget*>(widget)) return Text(tabs->tabText(tabs->currentIndex()));
    if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) return std::to_string(slider->value());
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return Text(group->title());
    return {};
}

int CurrentRow(QAbstractItemView* view) {
    if (!view->selectionModel()) return -1;
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void DumpRows(std::ostream& out, QAbstractItemView* view) {
    const QAbstractItemModel* model = view->model();
    if (!model) return;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QVariant check = model->data(model->index(row, 0), Qt::CheckStateRole);
        out << "  row " << row << ' ' << (check.isValid() ? (check.toInt() == Qt::Checked ? "1" : "0") : "-");
        for (int column = 0; column < model->columnCount(); ++column)
            out << (column ? " | " : " ") << Text(model->data(model->index(row, column)).toString());
        out << '\n';
    }
}

void DumpMessageBox(std::ostream& out, QMessageBox* box) {
    out << "text " << Text(box->text()) << '\n';
    out << "buttons";
    for (QAbstractButton* button : box->buttons()) out << ' ' << Text(WithoutMnemonic(button->text()));
    out << '\n';
}

// The control of that name: a visible one first (pages reuse control ids), else any.
QWidget* FindControl(QWidget* window, const std::string& name) {
    if (!window) return nullptr;
    const QString wanted = QString::fromStdString(name);
    QWidget* hidden = nullptr;
    for (QWidget* widget : window->findChildren<QWidget*>(wanted)) {
        if (widget->isVisible()) return widget;
        if (!hidden) hidden = widget;
    }
    return hidden;
}

std::string Missing(const std::string& name) { return "no control " + name; }

QModelIndex RowIndex(QAbstractItemView* view, int row) {
    if (!view->model() || row < 0 || row >= view->model()->rowCount()) return {};
    return view->model()->index(row, 0);
}

}  // namespace

std::string DumpDialog(QWidget* window) {
    std::ostringstream out;
    if (!window) return "no window\n";
    out << Text(window->windowTitle()) << '\n';
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        DumpMessageBox(out, box);
        return out.str();
    }
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        const char* kind = KindOf(widget);
        if (!kind || !Dumped(widget, kind)) continue;
        const QString name = widget->objectName();
        out << (name.isEmpty() ? std::string("-") : name.toStdString()) << ' ' << kind << ' '
            << (widget->isEnabled() ? 1 : 0) << ' ' << CheckedField(widget) << ' ' << ValueText(widget) << '\n';
        if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            out << "  tabs";
            for (int i = 0; i < tabs->count(); ++i) out << (i ? " | " : " ") << Text(tabs->tabText(i));
            out << '\n';
        } else if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
            out << "  selected " << CurrentRow(view) << '\n';
            DumpRows(out, view);
        }
    }
    return out.str();
}

std::string PressControl(QWidget* window, const std::string& name) {
    QWidget* control = FindControl(window, name);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->click();
        return {};
    }
    if (auto* group = qobject_cast<QGroupBox*>(control); group && group->isCheckable()) {
        group->setChecked(!group->isChecked());
        return {};
    }
    return control ? name + " cannot be pressed" : Missing(name);
}

std::string SetControlText(QWidget* window, const std::string& name, const std::string& text) {
    QWidget* control = FindControl(window, name);
    const QString value = QString::fromStdString(text);
    const auto type = [&](QLineEdit* edit) {
        edit->setFocus();
        edit->selectAll();
        edit->insert(value);  // as typed: textEdited follows
        emit edit->editingFinished();
    };
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        type(edit);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->setPlainText(value);
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(control)) {
        if (auto* inner = spin->findChild<QLineEdit*>()) type(inner);
        spin->interpretText();
        emit spin->editingFinished();
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable()) {
            type(combo->lineEdit());
        } else {
            const int index = combo->findText(value);
            if (index < 0) return name + " has no item " + text;
            combo->setCurrentIndex(index);
            emit combo->activated(index);
        }
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        bool number = false;
        const int position = value.toInt(&number);
        if (!number) return name + " takes a number, not " + text;
        // As a user drags it: pressed, moved there, released.
        slider->setSliderDown(true);
        slider->setSliderPosition(position);
        slider->setSliderDown(false);
    } else {
        return control ? name + " takes no text" : Missing(name);
    }
    return {};
}

std::string SelectListRow(QWidget* window, const std::string& name, int row) {
    auto* view = qobject_cast<QAbstractItemView*>(FindControl(window, name));
    if (!view) return Missing(name);
    const QModelIndex index = RowIndex(view, row);
    if (!index.isValid()) return name + " has no row " + std::to_string(row);
    view->setFocus();
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return {};
}

std::string CheckListRow(QWidget* window, const std::string& name, int row, bool checked) {
    auto* view = qobject_cast<QAbstractItemView*>(FindControl(window, name));
    if (!view) return Missing(name);
    const QModelIndex index = RowIndex(view, row);
    if (!index.isValid()) return name + " has no row " + std::to_string(row);
    view->model()->setData(index, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    return {};
}

std::string ShowTab(QWidget* window, const std::string& title) {
    const QString wanted = QString::fromStdString(title);
    for (QTabWidget* tabs : window ? window->findChildren<QTabWidget*>() : QList<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            if (WithoutMnemonic(tabs->tabText(i)) == wanted) {
                tabs->setCurrentIndex(i);
                return {};
            }
    return "no tab " + title;
}

std::string AnswerDialog(QWidget* window, const std::string& text) {
    if (auto* files = qobject_cast<QFileDialog*>(window)) {
        const QStringList paths = QString::fromStdString(text).split('|', Qt::SkipEmptyParts);
        if (paths.isEmpty()) return "no path to choose";
        files->setDirectory(QFileInfo(paths.first()).absolutePath());
        QStringList names;
        for (const QString& path : paths) names << '"' + QFileInfo(path).fileName() + '"';
        files->selectFile(paths.size() == 1 ? QFileInfo(paths.first()).fileName() : names.join(' '));
        QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
        return {};
    }
    const QString wanted = QString::fromStdString(text);
    for (QAbstractButton* button : window ? window->findChildren<QAbstractButton*>() : QList<QAbstractButton*>())
        if (button->isVisible() && WithoutMnemonic(button->text()) == wanted) {
            button->click();
            return {};
        }
    return "no button " + text;
}

}  // namespace platform
