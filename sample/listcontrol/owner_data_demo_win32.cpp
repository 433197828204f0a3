// "Owner-data CListControl demo": a million rows that exist only while they are shown; typing a
// number jumps to that row.
#include "resources/resource.h"
#include "sample/listcontrol/list_demo_window_win32.h"
#include "sample/listcontrol/virtual_rows.h"

namespace ambrel {
namespace {

class COwnerDataListDemo final : public CListDemoWindow {
public:
    COwnerDataListDemo() : CListDemoWindow("Owner-data CListControl demo") {}

private:
    void create_list() override { list_.create(window(), IDC_LIST_DEMO_LIST, virtual_rows::columns(), rows_, {}); }
    std::string status_text() const override {
        return count_text(rows_.row_count()) + " rows, " + count_text(list_.selected_count()) +
               " selected; type a row's number to go to it";
    }

    virtual_rows rows_;
};

}  // namespace

std::unique_ptr<CListDemoWindow> make_owner_data_list_demo() { return std::make_unique<COwnerDataListDemo>(); }

}  // namespace ambrel
