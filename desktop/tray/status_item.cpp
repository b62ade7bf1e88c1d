// StatusItem: the item at /StatusNotifierItem and its menu at /MenuBar, under the bus name
// org.kde.StatusNotifierItem-PID-1, registered with org.kde.StatusNotifierWatcher.
#include "status_item.h"

#include "tray_log.h"
#include "tray_look.h"

#include <unistd.h>

namespace {

const char kItemPath[] = "/StatusNotifierItem";
const char kMenuPath[] = "/MenuBar";
const char kItemInterface[] = "org.kde.StatusNotifierItem";
const char kMenuInterface[] = "com.canonical.dbusmenu";
const char kWatcherName[] = "org.kde.StatusNotifierWatcher";
const char kWatcherPath[] = "/StatusNotifierWatcher";
const int kCallTimeoutMs = 5000;
const gint32 kOpenControlCenterItem = 1;

const char kItemXml[] =
    "<node><interface name='org.kde.StatusNotifierItem'>"
    " <property name='Category' type='s' access='read'/>"
    " <property name='Id' type='s' access='read'/>"
    " <property name='Title' type='s' access='read'/>"
    " <property name='Status' type='s' access='read'/>"
    " <property name='WindowId' type='i' access='read'/>"
    " <property name='IconName' type='s' access='read'/>"
    " <property name='IconPixmap' type='a(iiay)' access='read'/>"
    " <property name='OverlayIconName' type='s' access='read'/>"
    " <property name='OverlayIconPixmap' type='a(iiay)' access='read'/>"
    " <property name='AttentionIconName' type='s' access='read'/>"
    " <property name='AttentionIconPixmap' type='a(iiay)' access='read'/>"
    " <property name='AttentionMovieName' type='s' access='read'/>"
    " <property name='ToolTip' type='(sa(iiay)ss)' access='read'/>"
    " <property name='ItemIsMenu' type='b' access='read'/>"
    " <property name='Menu' type='o' access='read'/>"
    " <method name='ContextMenu'><arg name='x' type='i' direction='in'/><arg name='y' type='i' direction='in'/></method>"
    " <method name='Activate'><arg name='x' type='i' direction='in'/><arg name='y' type='i' direction='in'/></method>"
    " <method name='SecondaryActivate'><arg name='x' type='i' direction='in'/><arg name='y' type='i' direction='in'/></method>"
    " <method name='Scroll'><arg name='delta' type='i' direction='in'/><arg name='orientation' type='s' direction='in'/></method>"
    " <signal name='NewTitle'/><signal name='NewIcon'/><signal name='NewAttentionIcon'/>"
    " <signal name='NewOverlayIcon'/><signal name='NewToolTip'/>"
    " <signal name='NewStatus'><arg name='status' type='s'/></signal>"
    "</interface></node>";

const char kMenuXml[] =
    "<node><interface name='com.canonical.dbusmenu'>"
    " <property name='Version' type='u' access='read'/>"
    " <property name='TextDirection' type='s' access='read'/>"
    " <property name='Status' type='s' access='read'/>"
    " <property name='IconThemePath' type='as' access='read'/>"
    " <method name='GetLayout'><arg type='i' name='parentId' direction='in'/>"
    "  <arg type='i' name='recursionDepth' direction='in'/><arg type='as' name='propertyNames' direction='in'/>"
    "  <arg type='u' name='revision' direction='out'/><arg type='(ia{sv}av)' name='layout' direction='out'/></method>"
    " <method name='GetGroupProperties'><arg type='ai' name='ids' direction='in'/>"
    "  <arg type='as' name='propertyNames' direction='in'/><arg type='a(ia{sv})' name='properties' direction='out'/></method>"
    " <method name='GetProperty'><arg type='i' name='id' direction='in'/><arg type='s' name='name' direction='in'/>"
    "  <arg type='v' name='value' direction='out'/></method>"
    " <method name='Event'><arg type='i' name='id' direction='in'/><arg type='s' name='eventId' direction='in'/>"
    "  <arg type='v' name='data' direction='in'/><arg type='u' name='timestamp' direction='in'/></method>"
    " <method name='EventGroup'><arg type='a(isvu)' name='events' direction='in'/>"
    "  <arg type='ai' name='idErrors' direction='out'/></method>"
    " <method name='AboutToShow'><arg type='i' name='id' direction='in'/>"
    "  <arg type='b' name='needUpdate' direction='out'/></method>"
    " <method name='AboutToShowGroup'><arg type='ai' name='ids' direction='in'/>"
    "  <arg type='ai' name='updatesNeeded' direction='out'/><arg type='ai' name='idErrors' direction='out'/></method>"
    " <signal name='ItemsPropertiesUpdated'><arg type='a(ia{sv})' name='updatedProps'/>"
    "  <arg type='a(ias)' name='removedProps'/></signal>"
    " <signal name='LayoutUpdated'><arg type='u' name='revision'/><arg type='i' name='parent'/></signal>"
    " <signal name='ItemActivationRequested'><arg type='i' name='id'/><arg type='u' name='timestamp'/></signal>"
    "</interface></node>";

GVariant* empty_pixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), NULL, 0); }

// The properties of a menu item (0 is the menu itself), or NULL for an unknown id.
GVariant* menu_item_properties(gint32 id) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    if (id == 0) {
        g_variant_builder_add(&properties, "{sv}", "children-display", g_variant_new_string("submenu"));
    } else if (id == kOpenControlCenterItem) {
        g_variant_builder_add(&properties, "{sv}", "label", g_variant_new_string(TRAY_OPEN_CONTROL_CENTER_LABEL));
        g_variant_builder_add(&properties, "{sv}", "enabled", g_variant_new_boolean(TRUE));
        g_variant_builder_add(&properties, "{sv}", "visible", g_variant_new_boolean(TRUE));
    } else {
        g_variant_builder_clear(&properties);
        return NULL;
    }
    return g_variant_builder_end(&properties);
}

// The layout below id, as (ia{sv}av); NULL for an unknown id.
GVariant* menu_layout(gint32 id, gint32 depth) {
    GVariant* properties = menu_item_properties(id);
    if (!properties) return NULL;
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (id == 0 && depth != 0)
        g_variant_builder_add(&children, "v", menu_layout(kOpenControlCenterItem, depth - 1));
    return g_variant_new("(i@a{sv}av)", id, properties, &children);
}

void return_unknown_item(GDBusMethodInvocation* invocation, gint32 id) {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "no menu item %d",
                                          (int)id);
}

}  // namespace

StatusItem::StatusItem(GDBusConnection* bus, std::function<void()> openControlCenter,
                       std::function<void(bool)> watched)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))),
      openControlCenter_(std::move(openControlCenter)),
      watched_(std::move(watched)),
      busName_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1"),
      cancellable_(g_cancellable_new()) {
    itemInfo_ = g_dbus_node_info_new_for_xml(kItemXml, NULL);
    menuInfo_ = g_dbus_node_info_new_for_xml(kMenuXml, NULL);
    static const GDBusInterfaceVTable itemTable = {onItemMethod, onItemProperty, NULL, {0}};
    static const GDBusInterfaceVTable menuTable = {onMenuMethod, onMenuProperty, NULL, {0}};
    GError* error = nullptr;
    itemObject_ = g_dbus_connection_register_object(bus_, kItemPath, itemInfo_->interfaces[0], &itemTable, this, NULL,
                                                    &error);
    if (!itemObject_) {
        tray_log("the tray icon cannot be offered on the session bus: %s", error->message);
        g_clear_error(&error);
        return;
    }
    menuObject_ = g_dbus_connection_register_object(bus_, kMenuPath, menuInfo_->interfaces[0], &menuTable, this, NULL,
                                                    &error);
    if (!menuObject_) {
        tray_log("the tray menu cannot be offered on the session bus: %s", error->message);
        g_clear_error(&error);
    }
    nameOwner_ = g_bus_own_name_on_connection(bus_, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                              onNameAcquired, NULL, this, NULL);
    watcherWatch_ = g_bus_watch_name_on_connection(bus_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                   onWatcherAppeared, onWatcherVanished, this, NULL);
}

StatusItem::~StatusItem() {
    g_cancellable_cancel(cancellable_);
    while (registrationsUnderWay_ > 0) g_main_context_iteration(NULL, TRUE);
    if (watcherWatch_) g_bus_unwatch_name(watcherWatch_);
    if (nameOwner_) g_bus_unown_name(nameOwner_);
    if (menuObject_) g_dbus_connection_unregister_object(bus_, menuObject_);
    if (itemObject_) g_dbus_connection_unregister_object(bus_, itemObject_);
    g_dbus_node_info_unref(menuInfo_);
    g_dbus_node_info_unref(itemInfo_);
    g_object_unref(cancellable_);
    g_object_unref(bus_);
}

void StatusItem::showFilterState(int filterState) {
    if (filterState == filterState_) return;
    filterState_ = filterState;
    emit("NewTitle", NULL);
    emit("NewIcon", NULL);
    emit("NewToolTip", NULL);
    emit("NewStatus", g_variant_new("(s)", "Active"));
}

void StatusItem::emit(const char* signal, GVariant* parameters) {
    if (!itemObject_) {
        if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
        return;
    }
    g_dbus_connection_emit_signal(bus_, NULL, kItemPath, kItemInterface, signal, parameters, NULL);
}

void StatusItem::onItemMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                              GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    g_dbus_method_invocation_return_value(invocation, NULL);
    // A click on the icon opens the Control Center; the context menu is the exported menu's.
    if (g_strcmp0(method, "Activate") == 0 || g_strcmp0(method, "SecondaryActivate") == 0) self->openControlCenter_();
}

GVariant* StatusItem::onItemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                     GError** error, gpointer data) {
    const StatusItem* self = static_cast<const StatusItem*>(data);
    const StateLook& look = tray_look_of(self->filterState_);
    const std::string name = property;
    if (name == "Category") return g_variant_new_string("SystemServices");
    if (name == "Id") return g_variant_new_string("quillfence-tray");
    if (name == "Title") return g_variant_new_string(look.title);
    if (name == "Status") return g_variant_new_string("Active");
    if (name == "WindowId") return g_variant_new_int32(0);
    if (name == "IconName") return g_variant_new_string(look.iconName);
    if (name == "OverlayIconName" || name == "AttentionIconName" || name == "AttentionMovieName")
        return g_variant_new_string("");
    if (name == "IconPixmap" || name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return empty_pixmaps();
    if (name == "ToolTip")
        return g_variant_new("(s@a(iiay)ss)", look.iconName, empty_pixmaps(), look.title, look.description);
    if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
    if (name == "Menu") return g_variant_new_object_path(kMenuPath);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
    return NULL;
}

void StatusItem::onMenuMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    const std::string name = method;
    if (name == "GetLayout") {
        gint32 parent = 0, depth = -1;
        g_variant_get(parameters, "(ii@as)", &parent, &depth, NULL);
        GVariant* layout = menu_layout(parent, depth);
        if (!layout) return return_unknown_item(invocation, parent);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u@(ia{sv}av))", 1u, layout));
    } else if (name == "GetGroupProperties") {
        GVariantIter* ids = nullptr;
        g_variant_get(parameters, "(ai@as)", &ids, NULL);
        GVariantBuilder found;
        g_variant_builder_init(&found, G_VARIANT_TYPE("a(ia{sv})"));
        gint32 id;
        while (g_variant_iter_next(ids, "i", &id))
            if (GVariant* properties = menu_item_properties(id))
                g_variant_builder_add(&found, "(i@a{sv})", id, properties);
        g_variant_iter_free(ids);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &found));
    } else if (name == "GetProperty") {
        gint32 id = 0;
        const gchar* wanted = nullptr;
        g_variant_get(parameters, "(i&s)", &id, &wanted);
        GVariant* properties = menu_item_properties(id);
        if (!properties) return return_unknown_item(invocation, id);
        GVariant* value = g_variant_lookup_value(properties, wanted, NULL);
        g_variant_unref(g_variant_ref_sink(properties));
        if (!value) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                  "menu item %d has no property %s", (int)id, wanted);
            return;
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        g_variant_unref(value);
    } else if (name == "Event") {
        gint32 id = 0;
        const gchar* event = nullptr;
        g_variant_get(parameters, "(i&s@vu)", &id, &event, NULL, NULL);
        g_dbus_method_invocation_return_value(invocation, NULL);
        if (id == kOpenControlCenterItem && g_strcmp0(event, "clicked") == 0) self->openControlCenter_();
    } else if (name == "EventGroup") {
        GVariantIter* events = nullptr;
        g_variant_get(parameters, "(a(isvu))", &events);
        GVariantBuilder errors;
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        gint32 id;
        const gchar* event;
        bool open = false;
        while (g_variant_iter_next(events, "(i&s@vu)", &id, &event, NULL, NULL)) {
            if (id == kOpenControlCenterItem && g_strcmp0(event, "clicked") == 0)
                open = true;
            else if (id != 0 && id != kOpenControlCenterItem)
                g_variant_builder_add(&errors, "i", id);
        }
        g_variant_iter_free(events);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ai)", &errors));
        if (open) self->openControlCenter_();
    } else if (name == "AboutToShow") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else if (name == "AboutToShowGroup") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, NULL, 0),
                                                                        g_variant_new_array(G_VARIANT_TYPE_INT32, NULL, 0)));
    } else {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "no method %s",
                                              method);
    }
}

GVariant* StatusItem::onMenuProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                     GError** error, gpointer) {
    const std::string name = property;
    if (name == "Version") return g_variant_new_uint32(3);
    if (name == "TextDirection") return g_variant_new_string("ltr");
    if (name == "Status") return g_variant_new_string("normal");
    if (name == "IconThemePath") return g_variant_new_strv(NULL, 0);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
    return NULL;
}

void StatusItem::onNameAcquired(GDBusConnection*, const gchar*, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    self->nameAcquired_ = true;
    self->registerWithWatcher();
}

void StatusItem::onWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    self->watcherPresent_ = true;
    // An item that could not be exported is never shown by the watcher.
    if (!self->itemObject_) self->watched_(false);
    self->registerWithWatcher();
}

void StatusItem::onWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    self->watcherPresent_ = false;
    self->watched_(false);
}

void StatusItem::registerWithWatcher() {
    if (!nameAcquired_ || !watcherPresent_ || !itemObject_) return;
    ++registrationsUnderWay_;
    g_dbus_connection_call(bus_, kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                           g_variant_new("(s)", busName_.c_str()), NULL, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                           cancellable_, onRegistered, this);
}

void StatusItem::onRegistered(GObject* source, GAsyncResult* result, gpointer data) {
    StatusItem* self = static_cast<StatusItem*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    --self->registrationsUnderWay_;
    if (reply) {
        g_variant_unref(reply);
        self->watched_(true);
        return;
    }
    if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        tray_log("the tray icon could not be registered with the StatusNotifierWatcher: %s", error->message);
        self->watched_(false);
    }
    g_error_free(error);
}
