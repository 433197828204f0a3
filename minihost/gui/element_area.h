// The element area of minihost's main window: a band below the playlist that holds the components'
// UI elements side by side. Which elements it holds, and their configurations, are kept in the
// profile (PROFILE/layout.bin). View > Layout > GROUP > NAME places or removes an element, View >
// "Element area" shows or hides the band, View > "Alternative colours and font" switches the host's
// colours and font (the elements are told), and each element's own menu command ("Activates ...
// window.") is in the View menu. The element's size limits decide the band's height and how the
// band's width is shared; the main window keeps wide enough for every element's minimum.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/ui_element.h"
#include "minihost/host/host.h"

namespace minihost {

class CMainWindow;

class CElementArea {
public:
    CElementArea(host& running, CMainWindow& main);
    ~CElementArea();
    CElementArea(const CElementArea&) = delete;
    CElementArea& operator=(const CElementArea&) = delete;

    // Creates the band in the main window (which must exist) with the elements the profile keeps,
    // and adds the area's commands to the View menu.
    void create();
    // Places the elements named (as they name themselves) in this order instead; raises
    // zorb::exception naming an element that no service publishes.
    void set_elements(const std::vector<std::string>& names);

    host_window window() const { return window_; }
    size_t element_count() const { return placed_.size(); }
    ui_element_instance& element(size_t index) const { return *placed_.at(index).instance; }
    bool shown() const { return shown_; }
    void show(bool visible);
    // The host's colours and font: the system's (false) or the alternative ones (true).
    void use_alternative_look(bool alternative);
    // The instance last handed over by element_clicked; null for none.
    ui_element_instance* clicked() const { return clicked_; }

    // What the instances' callbacks ask of the area.
    bool query_color(const GUID& what, uint32_t& out) const;
    void* query_font() const;
    bool activate(ui_element_instance* instance);
    void on_clicked(ui_element_instance* instance);
    void relayout();

    // The window procedure's work.
    intptr_t handle(unsigned message, uintptr_t wparam, intptr_t lparam);

private:
    struct placed {
        service_ptr_t<ui_element> kind;
        service_ptr_t<ui_element_instance> instance;
        service_ptr_t<ui_element_instance_callback> callback;
    };
    service_ptr_t<ui_element> find_element(const GUID& guid) const;
    void place(const ui_element_config& config);
    void toggle(const GUID& element);
    void clear();
    void save() const;
    void notify_all(const GUID& what, size_t param) const;
    void add_commands();

    host& running_;
    CMainWindow& main_;
    host_window window_ = nullptr;
    std::vector<placed> placed_;
    std::vector<size_t> command_ids_;
    bool shown_ = true;
    bool alternative_ = false;
    void* alternative_font_ = nullptr;
    ui_element_instance* clicked_ = nullptr;
};

}  // namespace minihost
