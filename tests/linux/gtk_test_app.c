/* A GTK3 window for the Linux desktop tests: a single-line field, a multi-line field with text,
   a field named by its label, a password field, a list of message rows and a button. With the name
   of a widget as its argument it gives that widget the keyboard focus (taking the X input focus
   itself, since no window manager runs), then prints "ready" on standard output once the widget has
   it. */
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <string.h>

static const char* wanted = "entry";
static GtkWidget* target = NULL;

/* What the toolkit itself says the selection or the caret covers on screen, counted in
   characters as the toolkit counts: the tests compare the helper's anchor with it. */
static void print_text_bounds(void) {
    AtkObject* accessible = gtk_widget_get_accessible(target);
    if (!ATK_IS_TEXT(accessible)) {
        return;
    }
    AtkText* text = ATK_TEXT(accessible);
    gint x = 0, y = 0, width = 0, height = 0;
    if (atk_text_get_n_selections(text) > 0) {
        gint start = 0, end = 0;
        g_free(atk_text_get_selection(text, 0, &start, &end));
        AtkTextRectangle rect;
        atk_text_get_range_extents(text, start, end, ATK_XY_SCREEN, &rect);
        x = rect.x, y = rect.y, width = rect.width, height = rect.height;
    } else {
        atk_text_get_character_extents(text, atk_text_get_caret_offset(text), &x, &y, &width,
                                       &height, ATK_XY_SCREEN);
        width = 0;
    }
    printf(" %d %d %d %d", x, y, width, height);
}

static gboolean say_ready(gpointer data) {
    (void)data;
    printf("ready");
    print_text_bounds();
    printf("\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static gboolean report_ready(gpointer data) {
    (void)data;
    if (target != NULL && gtk_widget_has_focus(target) && strcmp(wanted, "large") == 0) {
        /* A large text is laid out in the background at a higher priority than this: ready
           once that is done, so that the application answers at once. */
        g_idle_add_full(G_PRIORITY_LOW, say_ready, NULL, NULL);
        return G_SOURCE_REMOVE;
    }
    if (target != NULL && gtk_widget_has_focus(target)) {
        if (strcmp(wanted, "selection") == 0) {
            gtk_editable_select_region(GTK_EDITABLE(target), 12, 16);
        } else if (strcmp(wanted, "entry") == 0) {
            gtk_editable_set_position(GTK_EDITABLE(target), -1);
        }
        printf("ready");
        print_text_bounds();
        printf("\n");
        fflush(stdout);
        return G_SOURCE_REMOVE;
    }
    if (target != NULL) {
        GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(target));
        if (window != NULL && gdk_window_is_viewable(window)) {
            /* On Wayland the compositor gives the keyboard to the window it maps. A window
               manager may have the window unmapped for a moment (to reparent it): the focus is
               then tried again rather than the X error ending the application. */
            GdkDisplay* gdk = gdk_window_get_display(window);
            if (GDK_IS_X11_DISPLAY(gdk)) {
                gdk_x11_display_error_trap_push(gdk);
                XSetInputFocus(GDK_DISPLAY_XDISPLAY(gdk), GDK_WINDOW_XID(window), RevertToParent,
                               CurrentTime);
                gdk_x11_display_error_trap_pop_ignored(gdk);
            }
            gtk_widget_grab_focus(target);
        }
    }
    return G_SOURCE_CONTINUE;
}

static GtkWidget* message_row(const char* author, const char* text) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new(author), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new(text), FALSE, FALSE, 0);
    return row;
}

static void activate(GtkApplication* app, gpointer data) {
    (void)data;
    /* A focused entry keeps its caret instead of selecting all its text. */
    g_object_set(gtk_settings_get_default(), "gtk-entry-select-on-focus", FALSE, NULL);
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "Larkspin test");
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_container_add(GTK_CONTAINER(window), box);

    GtkWidget* list = gtk_list_box_new();
    gtk_widget_set_name(list, "messages");
    const char* messages[][2] = {{"Ada", "the release build is green"},
                                 {"Grace", "caf\xC3\xA9 at ten? \xF0\x9F\x98\x80"},
                                 {"Ada", "Ship it?"}};
    for (unsigned i = 0; i < 3; ++i) {
        gtk_list_box_insert(GTK_LIST_BOX(list), message_row(messages[i][0], messages[i][1]), -1);
    }
    gtk_box_pack_start(GTK_BOX(box), list, FALSE, FALSE, 0);

    GtkWidget* scroll = gtk_scrolled_window_new(NULL, NULL);
    gtk_widget_set_size_request(scroll, 500, 120);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)),
                             "first line\nsecond line with caf\xC3\xA9", -1);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    gtk_box_pack_start(GTK_BOX(box), scroll, TRUE, TRUE, 0);

    /* A field named only by the label the toolkit relates to it. */
    GtkWidget* recipient = gtk_entry_new();
    GtkWidget* label = gtk_label_new_with_mnemonic("_Recipient");
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), recipient);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), recipient, FALSE, FALSE, 0);

    GtkWidget* password = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(password), FALSE);
    gtk_entry_set_text(GTK_ENTRY(password), "hunter2");
    gtk_box_pack_start(GTK_BOX(box), password, FALSE, FALSE, 0);

    /* The composer row: the field and its button share a box of their own, so that the field
       is the one nearest to the button. */
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), "single line \xC3\xA9\xF0\x9F\x98\x80 text");
    gtk_entry_set_placeholder_text(GTK_ENTRY(entry), "Message");
    gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
    GtkWidget* button = gtk_button_new_with_label("Send");
    gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);

    gtk_widget_show_all(window);
    if (strcmp(wanted, "large") == 0) {
        /* A 5 MB document, lines of text with a character outside the BMP now and then, the
           caret at its end. */
        GString* text = g_string_new(NULL);
        while (text->len < 5 * 1024 * 1024) {
            g_string_append(text, "a line of the large document, caf\xC3\xA9 \xF0\x9F\x98\x80\n");
        }
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
        gtk_text_buffer_set_text(buffer, text->str, (gint)text->len);
        g_string_free(text, TRUE);
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(buffer, &end);
        gtk_text_buffer_place_cursor(buffer, &end);
    }
    if (strcmp(wanted, "view") == 0 || strcmp(wanted, "large") == 0) {
        target = view;
    } else if (strcmp(wanted, "password") == 0) {
        target = password;
    } else if (strcmp(wanted, "button") == 0) {
        target = button;
    } else if (strcmp(wanted, "labelled") == 0) {
        target = recipient;
    } else if (strcmp(wanted, "selection") == 0) {
        target = entry;
    } else {
        target = entry;
    }
    g_timeout_add(20, report_ready, NULL);
}

int main(int argc, char** argv) {
    if (argc > 1) {
        wanted = argv[1];
    }
    GtkApplication* app = gtk_application_new("org.larkspin.TestApp", G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(activate), NULL);
    char* none[] = {argv[0], NULL};
    const int status = g_application_run(G_APPLICATION(app), 1, none);
    g_object_unref(app);
    return status;
}
