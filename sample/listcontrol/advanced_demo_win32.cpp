// "Advanced CListControl demo": tasks with ticks, names edited in place (F2 or a slow second
// click), a priority that cycles when its cell is clicked, rows dragged to a new place, Delete to
// remove them, and a context menu with the same commands.
#include "resources/resource.h"
#include "sample/listcontrol/list_demo_window_win32.h"
#include "sample/listcontrol/task_rows.h"
#include "zorb/unicode.h"

namespace ambrel {
namespace {

enum menu_command : UINT { command_rename = 1, command_tick, command_priority, command_remove };

class CAdvancedListDemo final : public CListDemoWindow {
public:
    CAdvancedListDemo() : CListDemoWindow("Advanced CListControl demo"), rows_(task_rows::sample()) {}

private:
    void create_list() override {
        list_.create(window(), IDC_LIST_DEMO_LIST, task_rows::columns(), rows_,
                     {.check_boxes = true, .edit_labels = true});
    }
    std::string status_text() const override {
        if (drag_gap_ != list_source::npos)
            return "Moving " + count_text(dragged_.size()) + " tasks to position " + std::to_string(drag_gap_ + 1);
        return count_text(rows_.row_count()) + " tasks, " + count_text(rows_.checked_count()) + " done, " +
               count_text(list_.selected_count()) + " selected";
    }

    bool on_list_notify(NMHDR& notification, LRESULT& result) override {
        result = 0;
        switch (notification.code) {
            case LVN_BEGINLABELEDITW:
                return true;  // 0: editing may start
            case LVN_ENDLABELEDITW: {
                const LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(notification).item;
                // No text means the edit was cancelled.
                if (item.pszText != nullptr)
                    result = rows_.rename(static_cast<size_t>(item.iItem), zorb::utf8_from_wide(item.pszText));
                list_.redraw_row(static_cast<size_t>(item.iItem));
                return true;
            }
            case NM_CLICK:
                on_click(reinterpret_cast<NMITEMACTIVATE&>(notification).ptAction);
                return true;
            case LVN_KEYDOWN:
                return on_key(reinterpret_cast<NMLVKEYDOWN&>(notification).wVKey);
            case LVN_BEGINDRAG:
                dragged_ = list_.selected_rows();
                drag_gap_ = static_cast<size_t>(reinterpret_cast<NMLISTVIEW&>(notification).iItem);
                SetCapture(window());
                refresh_status();
                return true;
            default:
                return false;
        }
    }

    void on_click(POINT point) {
        const CListControl::hit hit = list_.hit_test(point);
        if (hit.row == list_source::npos) return;
        if (hit.on_check_box)
            tick({hit.row});
        else if (hit.column == task_rows::priority_column)
            cycle_priority({hit.row});
    }

    bool on_key(WORD key) {
        switch (key) {
            case VK_SPACE:
                tick(list_.selected_rows());
                return true;
            case VK_DELETE:
                remove_selected();
                return true;
            case VK_F2:
                if (list_.focused_row() != list_source::npos)
                    SendMessageW(list_.window(), LVM_EDITLABELW, list_.focused_row(), 0);
                return true;
            default:
                return false;
        }
    }

    void on_context_menu(POINT point) override {
        const std::vector<size_t> selected = list_.selected_rows();
        if (selected.empty()) return;
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING | (selected.size() == 1 ? 0 : MF_GRAYED), command_rename, L"Rename\tF2");
        AppendMenuW(menu, MF_STRING, command_tick, L"Done\tSpace");
        AppendMenuW(menu, MF_STRING, command_priority, L"Next priority");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, command_remove, L"Remove\tDel");
        switch (track_menu(menu, point)) {
            case command_rename:
                on_key(VK_F2);
                break;
            case command_tick:
                tick(selected);
                break;
            case command_priority:
                cycle_priority(selected);
                break;
            case command_remove:
                remove_selected();
                break;
            default:
                break;
        }
    }

    void on_drag_move(POINT point) override {
        drag_gap_ = list_.gap_at(point);
        refresh_status();
    }
    void on_drag_drop(POINT point) override {
        const size_t gap = list_.gap_at(point);
        const std::vector<size_t> dragged = std::exchange(dragged_, {});
        drag_gap_ = list_source::npos;
        ReleaseCapture();
        const std::vector<size_t> moved = rows_.move(dragged, gap);
        list_.reload();
        list_.select_rows(moved);
        refresh_status();
    }
    void on_drag_cancel() override {
        if (drag_gap_ == list_source::npos) return;
        dragged_.clear();
        drag_gap_ = list_source::npos;
        refresh_status();
    }

    // Ticks the rows, or clears them all when the first is ticked already.
    void tick(const std::vector<size_t>& rows) {
        if (rows.empty()) return;
        const bool done = !rows_.is_checked(rows.front());
        for (size_t row : rows) {
            rows_.set_checked(row, done);
            list_.redraw_row(row);
        }
        refresh_status();
    }
    void cycle_priority(const std::vector<size_t>& rows) {
        for (size_t row : rows) {
            rows_.cycle_priority(row);
            list_.redraw_row(row);
        }
    }
    void remove_selected() {
        rows_.remove(list_.selected_rows());
        list_.select_rows({});
        list_.reload();
        refresh_status();
    }

    task_rows rows_;
    std::vector<size_t> dragged_;
    size_t drag_gap_ = list_source::npos;  // where the dragged rows would go; npos while none are dragged
};

}  // namespace

std::unique_ptr<CListDemoWindow> make_advanced_list_demo() { return std::make_unique<CAdvancedListDemo>(); }

}  // namespace ambrel
