// Files dropped onto a pane: what a drag carries and whether a pane takes it now.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

namespace tarsel {

class CInputView;
class CSearchController;

// The path of the first local file of a drop, whole; empty when the drop holds no local file.
std::filesystem::path FirstDroppedFile(const QMimeData* mime);

// The files to search of a drop: every local file of it, and for a folder the regular files
// directly in it that begin with the mail mark. Sorted by path; folders is set when the drop
// held a folder.
std::vector<std::filesystem::path> DroppedArchives(const QMimeData* mime, bool* folders = nullptr);
// The same for paths chosen or given.
std::vector<std::filesystem::path> ArchivesOf(const std::vector<std::filesystem::path>& paths,
                                              bool* folders = nullptr);
// The part of a path after its last '/': the name the input pane shows.
std::string FileNameOf(const std::filesystem::path& path);

// A pane takes a file drop when it carries a local file and no phase of a search is running.
bool TakesFileDrop(const QMimeData* mime, const CSearchController* controller);

// The drag events of every pane: a drag is accepted when the pane takes it, and a drop goes
// to the input pane's drop handler.
void AcceptFileDrag(QDropEvent* event, const CSearchController* controller);
void DeliverFileDrop(QDropEvent* event, CInputView* input, const CSearchController* controller);

}  // namespace tarsel
