#include "platform/certdlg/selection_window.h"

#include <gtk/gtk.h>

#include "platform/certdlg/gtk_session.h"
#include "platform/certdlg/transient_parent.h"

namespace quillet::certdlg {
namespace {

enum Column { kOwnerColumn, kIssuerColumn, kValidToColumn, kRowColumn, kColumnCount };

constexpr int kButtonWidth = 110;
constexpr int kOwnerWidth = 300;
constexpr int kIssuerWidth = 220;
constexpr char kPrompt[] = "Выберите сертификат из списка:";
constexpr char kNothingToChoose[] = "В хранилище нет сертификатов, пригодных для подписи.";

GtkListStore* makeModel(const std::vector<OfferedCertificate>& rows) {
  GtkListStore* model =
      gtk_list_store_new(kColumnCount, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_UINT);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    GtkTreeIter iter;
    gtk_list_store_append(model, &iter);
    gtk_list_store_set(model, &iter, kOwnerColumn, rows[i].owner.c_str(), kIssuerColumn,
                       rows[i].issuer.c_str(), kValidToColumn, rows[i].validTo.c_str(), kRowColumn,
                       static_cast<guint>(i), -1);
  }
  return model;
}

// A column of text. A name column (width > 0) starts at that width, takes its share of
// the room left, and shortens long names with an ellipsis rather than widening the list
// beyond the window; other columns are as wide as their texts.
void addTextColumn(GtkTreeView* view, const char* heading, int column, int width) {
  GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
  GtkTreeViewColumn* viewColumn =
      gtk_tree_view_column_new_with_attributes(heading, renderer, "text", column, nullptr);
  if (width > 0) {
    g_object_set(renderer, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    gtk_tree_view_column_set_sizing(viewColumn, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_fixed_width(viewColumn, width);
    gtk_tree_view_column_set_expand(viewColumn, TRUE);
  }
  gtk_tree_view_column_set_resizable(viewColumn, TRUE);
  gtk_tree_view_column_set_sort_column_id(viewColumn, column);
  gtk_tree_view_append_column(view, viewColumn);
}

// Enter on a row, or a double click, confirms it.
void onRowActivated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer dialog) {
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

GtkWidget* makeList(const SelectionRequest& request, GtkWidget* dialog) {
  GtkListStore* model = makeModel(*request.rows);
  GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(model));
  g_object_unref(model);
  GtkTreeView* tree = GTK_TREE_VIEW(view);
  addTextColumn(tree, "Кому выдан", kOwnerColumn, kOwnerWidth);
  addTextColumn(tree, "Кем выдан", kIssuerColumn, kIssuerWidth);
  addTextColumn(tree, "Действителен до", kValidToColumn, /*width=*/0);
  gtk_tree_view_set_search_column(tree, kOwnerColumn);
  gtk_tree_selection_set_mode(gtk_tree_view_get_selection(tree), GTK_SELECTION_SINGLE);
  g_signal_connect(view, "row-activated", G_CALLBACK(onRowActivated), dialog);
  if (request.preselected) {
    GtkTreePath* path = gtk_tree_path_new_from_indices(static_cast<int>(*request.preselected), -1);
    gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
    gtk_tree_path_free(path);
  }
  return view;
}

GtkWidget* makeContent(GtkWidget* list, bool empty) {
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_container_set_border_width(GTK_CONTAINER(box), 6);
  GtkWidget* prompt = gtk_label_new(empty ? kNothingToChoose : kPrompt);
  gtk_label_set_xalign(GTK_LABEL(prompt), 0.0f);
  gtk_box_pack_start(GTK_BOX(box), prompt, FALSE, FALSE, 0);
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(scrolled), list);
  gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
  return box;
}

GtkWidget* makeDialog(const SelectionRequest& request) {
  GtkWidget* dialog =
      gtk_dialog_new_with_buttons(request.title.c_str(), nullptr, GTK_DIALOG_MODAL, "_Отмена",
                                  GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  // Both buttons get one width, wider than their labels, so that they keep their place.
  for (int response : {GTK_RESPONSE_CANCEL, GTK_RESPONSE_OK}) {
    gtk_widget_set_size_request(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response),
                                kButtonWidth, -1);
  }
  gtk_window_set_default_size(GTK_WINDOW(dialog), 720, 360);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
  return dialog;
}

std::optional<std::size_t> selectedRow(GtkTreeView* tree) {
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(tree), &model, &iter)) {
    return std::nullopt;
  }
  guint row = 0;
  gtk_tree_model_get(model, &iter, kRowColumn, &row, -1);
  return static_cast<std::size_t>(row);
}

}  // namespace

Selection runSelectionWindow(const SelectionRequest& request) {
  GtkWidget* dialog = makeDialog(request);
  GtkWidget* list = makeList(request, dialog);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_box_pack_start(GTK_BOX(content), makeContent(list, request.rows->empty()), TRUE, TRUE, 0);
  gtk_widget_realize(dialog);
  GdkWindow* owner = setTransientParent(dialog, request.parent);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(list);

  Selection selection;
  selection.confirmed = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (selection.confirmed) selection.row = selectedRow(GTK_TREE_VIEW(list));
  gtk_widget_destroy(dialog);
  flushGtkEvents();
  if (owner != nullptr) g_object_unref(owner);
  return selection;
}

}  // namespace quillet::certdlg
