#include <windows.h>

#include <cstdio>

#include "host/mainmenu.h"
#include "host/service_lookup.h"
#include "minihost/gui/element_area.h"
#include "minihost/gui/element_layout.h"
#include "minihost/gui/main_window.h"
#include "minihost/host/layout_menu.h"
#include "zorb/exception.h"
#include "zorb/files.h"

namespace minihost {
namespace {

constexpr wchar_t area_class_name[] = L"minihost element area";
constexpr GUID guid_show_area = {0x7E3B2A91, 0x6C54, 0x4D0F, {0xB1, 0x28, 0x3A, 0x9E, 0x64, 0xF2, 0x0C, 0x85}};
constexpr GUID guid_alternative_look = {0x2F8C61D4, 0x93A7, 0x4B25, {0x8E, 0x0D, 0x51, 0xC7, 0x3B, 0x96, 0xA4, 0x1E}};

// The alternative look: light text on a dark blue ground.
uint32_t alternative_color(const GUID& what) {
    if (what == ui_color_ids::background) return RGB(24, 40, 72);
    if (what == ui_color_ids::text) return RGB(236, 240, 248);
    if (what == ui_color_ids::highlight) return RGB(255, 200, 64);
    return RGB(64, 112, 192);  // selection
}

// The host's side of one placed element; it outlives the area only while the instance goes.
class area_callback : public ui_element_instance_callback {
public:
    explicit area_callback(CElementArea& area) : area_(&area) {}
    void detach() { area_ = nullptr; }

    bool query_color(const GUID& what, uint32_t& out) override { return area_ && area_->query_color(what, out); }
    void* query_font(const GUID&) override { return area_ ? area_->query_font() : nullptr; }
    bool request_activation(ui_element_instance* instance) override { return area_ && area_->activate(instance); }
    void element_clicked(ui_element_instance* instance) override {
        if (area_) area_->on_clicked(instance);
    }
    void limits_changed(ui_element_instance*) override {
        if (area_) area_->relayout();
    }

private:
    CElementArea* area_;
};

LRESULT CALLBACK area_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* area = reinterpret_cast<CElementArea*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (area == nullptr || message == WM_NCCREATE) return DefWindowProcW(window, message, wparam, lparam);
    try {
        return area->handle(message, wparam, lparam);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: element area: %s\n", failure.what());
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

CElementArea::CElementArea(host& running, CMainWindow& main) : running_(running), main_(main) {}

CElementArea::~CElementArea() {
    clear();
    if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
    if (alternative_font_ != nullptr) DeleteObject(static_cast<HFONT>(alternative_font_));
}

void CElementArea::create() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = area_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = area_class_name;
    RegisterClassW(&window_class);  // fails harmlessly when an earlier area registered it
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, area_class_name, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                  0, 0, 0, static_cast<HWND>(main_.window()), nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) throw zorb::exception("Cannot create the element area");
    window_ = window;
    main_.add_band(window_, 0, false);
    add_commands();
    main_.refresh_menu_bar();
    std::vector<uint8_t> kept;
    if (zorb::read_file(running_.profile().file("layout.bin"), kept))
        for (const ui_element_config& config : parse_layout(kept)) place(config);
    relayout();
}

void CElementArea::set_elements(const std::vector<std::string>& names) {
    std::vector<service_ptr_t<ui_element>> kinds;
    for (const std::string& name : names) {
        service_ptr_t<ui_element> found;
        for (size_t index = 0; index < service_count_t<ui_element>(running_) && !found; ++index) {
            service_ptr_t<ui_element> each = service_create_at_t<ui_element>(running_, index);
            zorb::string8 own;
            each->get_name(own);
            if (own.str() == name) found = each;
        }
        if (!found) throw zorb::exception("No UI element is named \"" + name + "\"");
        kinds.push_back(found);
    }
    clear();
    for (auto& kind : kinds) place(kind->get_default_configuration());
    relayout();
    save();
}

service_ptr_t<ui_element> CElementArea::find_element(const GUID& guid) const {
    for (size_t index = 0; index < service_count_t<ui_element>(running_); ++index) {
        service_ptr_t<ui_element> each = service_create_at_t<ui_element>(running_, index);
        if (each && each->get_guid() == guid) return each;
    }
    return {};
}

void CElementArea::place(const ui_element_config& config) {
    service_ptr_t<ui_element> kind = find_element(config.get_guid());
    if (!kind) {
        std::fprintf(stderr, "minihost: the layout names an element that no component publishes now\n");
        return;
    }
    service_ptr_t<ui_element_instance_callback> callback(new service_impl_t<area_callback>(*this));
    service_ptr_t<ui_element_instance> instance = kind->instantiate(window_, config, callback);
    placed_.push_back({kind, instance, callback});
}

void CElementArea::toggle(const GUID& element) {
    for (size_t i = 0; i < placed_.size(); ++i) {
        if (placed_[i].kind->get_guid() != element) continue;
        static_cast<area_callback&>(*placed_[i].callback).detach();
        if (clicked_ == placed_[i].instance.get()) clicked_ = nullptr;
        placed_.erase(placed_.begin() + std::ptrdiff_t(i));
        relayout();
        save();
        return;
    }
    if (service_ptr_t<ui_element> kind = find_element(element)) place(kind->get_default_configuration());
    relayout();
    save();
}

void CElementArea::clear() {
    for (placed& each : placed_) static_cast<area_callback&>(*each.callback).detach();
    placed_.clear();
    clicked_ = nullptr;
}

void CElementArea::save() const {
    std::vector<ui_element_config> configs;
    for (const placed& each : placed_) configs.push_back(each.instance->get_configuration());
    const std::vector<uint8_t> bytes = layout_bytes(configs);
    try {
        zorb::replace_file(running_.profile().file("layout.bin"), bytes.data(), bytes.size(), "the layout");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "minihost: %s\n", failure.what());
    }
}

void CElementArea::notify_all(const GUID& what, size_t param) const {
    for (const placed& each : placed_) each.instance->notify(what, param, nullptr, 0);
}

void CElementArea::show(bool visible) {
    if (visible == shown_) return;
    shown_ = visible;
    ShowWindow(static_cast<HWND>(window_), visible ? SW_SHOW : SW_HIDE);
    notify_all(ui_element_notify_ids::visibility_changed, visible ? 1 : 0);
    relayout();
}

void CElementArea::use_alternative_look(bool alternative) {
    alternative_ = alternative;
    if (alternative && alternative_font_ == nullptr)
        alternative_font_ = CreateFontW(-20, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
    notify_all(ui_element_notify_ids::colors_changed, 0);
    notify_all(ui_element_notify_ids::font_changed, 0);
}

bool CElementArea::query_color(const GUID& what, uint32_t& out) const {
    if (!alternative_) return false;
    out = alternative_color(what);
    return true;
}

void* CElementArea::query_font() const {
    return alternative_ ? alternative_font_ : static_cast<void*>(GetStockObject(DEFAULT_GUI_FONT));
}

bool CElementArea::activate(ui_element_instance* instance) {
    for (const placed& each : placed_) {
        if (each.instance.get() != instance) continue;
        show(true);
        return true;
    }
    return false;
}

void CElementArea::on_clicked(ui_element_instance* instance) {
    clicked_ = instance;
    instance->set_default_focus();
}

void CElementArea::relayout() {
    if (window_ == nullptr) return;
    std::vector<ui_element_min_max_info> limits;
    for (const placed& each : placed_) limits.push_back(each.instance->get_min_max_info());
    main_.set_band_height(window_, shown_ ? element_area_height(limits) : 0);
    main_.set_minimum_client_width(shown_ ? element_area_min_width(limits) : 0);
    RECT client;
    GetClientRect(static_cast<HWND>(window_), &client);
    const std::vector<box> boxes = arrange_elements(client.right, client.bottom, limits);
    for (size_t i = 0; i < placed_.size(); ++i)
        MoveWindow(static_cast<HWND>(placed_[i].instance->get_wnd()), boxes[i].left, boxes[i].top,
                   boxes[i].right - boxes[i].left, boxes[i].bottom - boxes[i].top, TRUE);
}

intptr_t CElementArea::handle(unsigned message, uintptr_t wparam, intptr_t lparam) {
    HWND window = static_cast<HWND>(window_);
    switch (message) {
        case WM_SIZE: {
            RECT client;
            GetClientRect(window, &client);
            std::vector<ui_element_min_max_info> limits;
            for (const placed& each : placed_) limits.push_back(each.instance->get_min_max_info());
            const std::vector<box> boxes = arrange_elements(client.right, client.bottom, limits);
            for (size_t i = 0; i < placed_.size(); ++i)
                MoveWindow(static_cast<HWND>(placed_[i].instance->get_wnd()), boxes[i].left, boxes[i].top,
                           boxes[i].right - boxes[i].left, boxes[i].bottom - boxes[i].top, TRUE);
            return 0;
        }
        case WM_DESTROY:
            // The elements' configurations as they are now, before their windows go with this one.
            save();
            for (size_t id : command_ids_) running_.host_commands().remove(id);
            command_ids_.clear();
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

void CElementArea::add_commands() {
    const auto add = [&](host_command command) {
        command_ids_.push_back(running_.host_commands().add(std::move(command)));
    };
    add({mainmenu_groups_view, guid_show_area, "Element area", "Shows or hides the element area below the playlist.",
         [this] { show(!shown_); }, [this] { return shown_ ? mainmenu_flag_checked : 0u; }});
    add({mainmenu_groups_view, guid_alternative_look, "Alternative colours and font",
         "Switches the colours and font the elements are drawn in.", [this] { use_alternative_look(!alternative_); },
         [this] { return alternative_ ? mainmenu_flag_checked : 0u; }});
    for (size_t index = 0; index < service_count_t<ui_element>(running_); ++index) {
        service_ptr_t<ui_element> kind = service_create_at_t<ui_element>(running_, index);
        if (!kind) continue;
        zorb::string8 name;
        kind->get_name(name);
        const GUID guid = kind->get_guid();
        // The element's own GUID belongs to its menu command; the layout's command gets another.
        GUID layout_guid = guid;
        layout_guid.Data1 ^= 0x4C41594F;
        add({layout_menu_for(kind->get_subclass()), layout_guid, name.str(), "Places or removes this element.",
             [this, guid] { toggle(guid); },
             [this, guid] {
                 for (const placed& each : placed_)
                     if (each.kind->get_guid() == guid) return mainmenu_flag_checked;
                 return 0u;
             }});
        service_ptr_t<ui_element_v2> bumpable = kind.query_as<ui_element_v2>();
        if (!bumpable) continue;
        zorb::string8 command, description;
        bumpable->get_menu_command_name(command);
        bumpable->get_menu_command_description(description);
        // An element that is not placed is placed first, then shown.
        add({mainmenu_groups_view,
             bumpable->get_menu_command_guid(),
             command.str(),
             description.str(),
             [this, bumpable, guid] {
                 if (bumpable->bump()) return;
                 toggle(guid);
                 bumpable->bump();
             },
             {}});
    }
}

}  // namespace minihost
