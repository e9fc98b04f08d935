// Saving matching mails of the last search into an mbox file the user chooses: the selected
// mail or all of them, from the result list's context menu or Ctrl+S. The file is written on a
// thread of its own, behind a progress dialog once that takes a while, so that a large result
// does not hold the window still. Nothing that exists is written over; the document and the
// archive stay as they are.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/mail_export.h"

class QAction;
class QProgressDialog;
class QTimer;
class QWidget;

namespace tarsel {

class CSearchController;

// Which mails a save takes.
enum class SaveScope { kNone, kSelected, kAll };

// Asked when the selected mail and all matching mails differ; kNone: nothing is saved.
using SaveScopeChooser = std::function<SaveScope(QWidget* owner, int matches)>;
// The file to save into; an empty name: nothing is saved.
using SaveFileChooser = std::function<QString(QWidget* owner)>;
// Put in place of the question and the file dialog (an empty function: the real ones again);
// each returns the one it replaced.
SaveScopeChooser SetSaveScopeChooser(SaveScopeChooser chooser);
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);

class CMailSaver : public QObject {
    Q_OBJECT
  public:
    // The action's boxes and dialogs belong to owner.
    explicit CMailSaver(QWidget* owner);
    // A save still being written is stopped, and what it wrote removed, before the saver goes.
    ~CMailSaver() override;

    // The search whose matching mails are saved.
    void SetController(const CSearchController* controller) { m_controller = controller; }
    QAction* Action() const { return m_action; }
    // Greys the action unless the last search has a matching mail, no phase runs and no save
    // is being written.
    void UpdateAction();
    bool IsSaving() const { return m_writer.joinable(); }
    // The action: asks which mails and where, then starts writing them.
    void Save();

  signals:
    // A save has ended: written, refused (after its box) or stopped.
    void saveEnded(bool written);

  private:
    bool CanSave() const;
    void StartWriting(const std::string& target, std::vector<MailPlace> mails);
    // Called on the writing thread as its last act.
    static void Wake(CMailSaver* saver);
    Q_INVOKABLE void OnWritten();

    QWidget* m_owner;
    QAction* m_action;
    const CSearchController* m_controller = nullptr;
    std::thread m_writer;
    std::unique_ptr<ExportProgress> m_progress;
    bool m_bWritten = false;
    std::string m_reason;  // of the last failure
    QProgressDialog* m_dialog = nullptr;
    QTimer* m_poll = nullptr;  // moves the dialog on while the file is written
};

}  // namespace tarsel
