#include "alert_window.h"

#include <gtk/gtk.h>

namespace {

const int kBorder = 12;
const int kTextWidthChars = 50;

}  // namespace

AlertWindow::~AlertWindow() {
    if (window_) gtk_widget_destroy(window_);
}

bool AlertWindow::show(const std::string& caption, const std::string& text, std::function<void()> dismissed) {
    if (window_) return false;
    dismissed_ = std::move(dismissed);
    copyText_ = caption + "\n\n" + text;

    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);
    gtk_window_set_urgency_hint(GTK_WINDOW(window_), TRUE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_icon_name(GTK_WINDOW(window_), "dialog-warning");
    gtk_container_set_border_width(GTK_CONTAINER(window_), kBorder);

    GtkWidget* rows = gtk_box_new(GTK_ORIENTATION_VERTICAL, kBorder);
    GtkWidget* message = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kBorder);
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    GtkWidget* texts = gtk_box_new(GTK_ORIENTATION_VERTICAL, kBorder / 2);
    GtkWidget* heading = gtk_label_new(NULL);
    gchar* markup = g_markup_printf_escaped("<b>%s</b>", caption.c_str());
    gtk_label_set_markup(GTK_LABEL(heading), markup);
    g_free(markup);
    gtk_label_set_xalign(GTK_LABEL(heading), 0);
    GtkWidget* body = gtk_label_new(text.c_str());  // plain text: an alert's text is never markup
    gtk_label_set_xalign(GTK_LABEL(body), 0);
    gtk_label_set_line_wrap(GTK_LABEL(body), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(body), kTextWidthChars);
    gtk_box_pack_start(GTK_BOX(texts), heading, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(texts), body, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(message), icon, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(message), texts, TRUE, TRUE, 0);

    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    GtkWidget* ok = gtk_button_new_with_mnemonic("_OK");
    gtk_widget_set_can_default(ok, TRUE);
    gtk_container_add(GTK_CONTAINER(buttons), ok);
    gtk_box_pack_start(GTK_BOX(rows), message, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(rows), buttons, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window_), rows);

    g_signal_connect(ok, "clicked", G_CALLBACK(onOk), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);
    gtk_widget_grab_default(ok);
    gtk_widget_grab_focus(ok);
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
    return true;
}

bool AlertWindow::displayAvailable() { return gdk_display_get_default() != NULL; }

void AlertWindow::onOk(GtkWidget*, gpointer data) { static_cast<AlertWindow*>(data)->dismiss(); }

int AlertWindow::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<AlertWindow*>(data)->dismiss();
    return TRUE;  // dismiss destroyed the window already
}

int AlertWindow::onKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    AlertWindow* self = static_cast<AlertWindow*>(data);
    const bool control = (event->state & gtk_accelerator_get_default_mod_mask()) == GDK_CONTROL_MASK;
    if (control && (event->keyval == GDK_KEY_c || event->keyval == GDK_KEY_C || event->keyval == GDK_KEY_Insert)) {
        gtk_clipboard_set_text(gtk_widget_get_clipboard(self->window_, GDK_SELECTION_CLIPBOARD),
                               self->copyText_.c_str(), -1);
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape) {
        self->dismiss();
        return TRUE;
    }
    return FALSE;
}

void AlertWindow::dismiss() {
    if (!window_) return;
    GtkWidget* closing = window_;
    window_ = nullptr;
    gtk_widget_destroy(closing);
    // Taken out first: dismissed may show the next notice in this window.
    std::function<void()> dismissed = std::move(dismissed_);
    dismissed_ = nullptr;
    if (dismissed) dismissed();
}
