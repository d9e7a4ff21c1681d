// Cluster list operations: see cluster_list.h.
