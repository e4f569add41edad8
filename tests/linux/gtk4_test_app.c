/* A GTK 4 window for the Linux desktop tests: a single-line field, a multi-line field inside a
   scrolled window, a labelled field and a button. With the name of a widget as its argument it
   focuses that widget (taking the X input focus itself when no window manager runs), then prints
   "ready" and the widget's own frame on the screen ("x y w h"), which the tests compare with the
   helper's: GTK 4.8 answers window coordinates on the accessibility bus. */
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <string.h>

static const char* wanted = "entry";
static GtkWidget* target = NULL;
static GtkWidget* window = NULL;

/* The focused widget's frame in screen coordinates: its bounds in the window, the window's place on
   its surface, and the surface's place on the screen. */
static void print_frame(GtkWidget* focus) {
    graphene_rect_t bounds;
    if (!gtk_widget_compute_bounds(focus, window, &bounds)) {
        return;
    }
    double sx = 0, sy = 0;
    gtk_native_get_surface_transform(GTK_NATIVE(window), &sx, &sy);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    Display* display = gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, gdk_x11_surface_get_xid(surface), DefaultRootWindow(display), 0,
                          0, &x, &y, &child);
    printf(" %d %d %d %d", (int)(x + sx + bounds.origin.x), (int)(y + sy + bounds.origin.y),
           (int)bounds.size.width, (int)bounds.size.height);
}

static gboolean report_ready(gpointer data) {
    (void)data;
    /* An entry gives the focus to the text widget inside it, which is what the bus reports. */
    GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(window));
    if (focus != NULL && (focus == target || gtk_widget_is_ancestor(focus, target))) {
        printf("ready");
        print_frame(focus);
        printf("\n");
        fflush(stdout);
        return G_SOURCE_REMOVE;
    }
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    if (surface != NULL && gtk_widget_get_mapped(window)) {
        /* A window manager may not have shown the window yet (its frame still on its way): X
           then refuses the focus, which is asked again on the next turn. */
        GdkDisplay* gdk = gdk_surface_get_display(surface);
        gdk_x11_display_error_trap_push(gdk);
        XSetInputFocus(gdk_x11_display_get_xdisplay(gdk), gdk_x11_surface_get_xid(surface),
                       RevertToParent, CurrentTime);
        gdk_x11_display_error_trap_pop_ignored(gdk);
        gtk_widget_grab_focus(target);
    }
    return G_SOURCE_CONTINUE;
}

static void activate(GtkApplication* app, gpointer data) {
    (void)data;
    window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "Larkspin GTK 4 test");
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_window_set_child(GTK_WINDOW(window), box);

    GtkWidget* scroll = gtk_scrolled_window_new();
    gtk_widget_set_size_request(scroll, 500, 120);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)),
                             "first line\nsecond line with caf\xC3\xA9", -1);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroll), view);
    gtk_box_append(GTK_BOX(box), scroll);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    GtkWidget* entry = gtk_entry_new();
    gtk_editable_set_text(GTK_EDITABLE(entry), "single line \xC3\xA9\xF0\x9F\x98\x80 text");
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_box_append(GTK_BOX(row), entry);
    GtkWidget* button = gtk_button_new_with_label("Send");
    gtk_box_append(GTK_BOX(row), button);
    gtk_box_append(GTK_BOX(box), row);

    gtk_window_present(GTK_WINDOW(window));
    target = strcmp(wanted, "view") == 0 ? view : strcmp(wanted, "button") == 0 ? button : entry;
    g_timeout_add(20, report_ready, NULL);
}

int main(int argc, char** argv) {
    if (argc > 1) {
        wanted = argv[1];
    }
    GtkApplication* app = gtk_application_new("org.larkspin.Gtk4TestApp", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(activate), NULL);
    char* none[] = {argv[0], NULL};
    const int status = g_application_run(G_APPLICATION(app), 1, none);
    g_object_unref(app);
    return status;
}
